// PixelLayout: how a surface's pixels are laid out, per channel the largest value and the bit
// position, and a depth code (15 for 5-5-5, 16 for other 16-bit RGB layouts, 24, 32, or the bit
// count of a palettised surface) that selects the surface's drawing routines. QueryPixelLayout
// reads it from a DirectDraw surface; the screen uses it for its buffers too.
#pragma once

#include <windows.h>
#include <ddraw.h>

struct PixelLayout {
    BYTE blueMax;
    BYTE greenMax;
    BYTE redMax;
    BYTE blueShift;
    BYTE greenShift;
    BYTE redShift;
    int depth;
};

// Fills `out` from the surface's pixel format. TRUE when `out` describes a layout; FALSE when
// the description cannot be read (`out` untouched) or the surface is not RGB (depth 0).
BOOL QueryPixelLayout(IDirectDrawSurface7* surface, PixelLayout* out);
