/// @file
/// PixelLayout: how a surface's pixels are laid out, per channel the largest value and the bit
/// position, and a depth code (15 for 5-5-5, 16 for other 16-bit RGB layouts, 24, 32, or the bit
/// count of a palettised surface) that selects the surface's drawing routines. QueryPixelLayout
/// reads it from a DirectDraw surface; the screen uses it for its buffers too.
#pragma once

#include <windows.h>
#include <ddraw.h>

/// The pixel layout of one surface: per channel its largest value and bit position, and the
/// depth code.
struct PixelLayout {
    BYTE blueMax;    ///< largest blue value (31 for 5 bits, 255 for 8)
    BYTE greenMax;   ///< largest green value
    BYTE redMax;     ///< largest red value
    BYTE blueShift;  ///< bit position of blue's lowest bit
    BYTE greenShift; ///< bit position of green's lowest bit
    BYTE redShift;   ///< bit position of red's lowest bit
    int depth;       ///< 15, 16, 24, 32, the bit count of a palettised surface, or 0 (not RGB)
};

/// Fills `out` from the surface's pixel format. TRUE when `out` describes a layout; FALSE when
/// the description cannot be read (`out` untouched) or the surface is not RGB (depth 0).
BOOL QueryPixelLayout(IDirectDrawSurface7* surface, PixelLayout* out);
