/// @file
/// The software halves of the sprite calls, on plain pixel memory: constant-alpha copies (with or
/// without a source colour key) and copies weighted by an 8-bit alpha plane, for the depth codes
/// 8, 15, 16, 24 and 32. Each has a plain reference, one pixel at a time in the words of the pixel
/// routines' blend rule, and a fast version (whole vectors of pixels, the widest the processor has,
/// chosen once at run time) that must give the same bytes; the tests and the fuzzer hold the two
/// together. Nothing here allocates, locks or clips: callers pass rectangles inside both buffers.
#pragma once

#include <windows.h>

/// One rectangle of pixels: `width` x `height` pixels of `bytes` each at `pixels`, rows `pitch`
/// bytes apart (any pitch, any address).
struct PixelRect {
    BYTE* pixels; ///< the first pixel of the first row, not owned
    long pitch;   ///< bytes from one row to the next
    int width;    ///< pixels per row
    int height;   ///< rows
};

/// A source colour key: `on` says whether pixels equal to `value` (the whole pixel, in the
/// surface's own format) are skipped.
struct SourceKey {
    bool on;     ///< whether the key is used
    DWORD value; ///< the key as a whole pixel in the surface's own format
};

/// dst = dst + ((src - dst) * alpha >> 8) per channel (alpha 0 to 256, larger taken as 256); at
/// 8 bits the source index is stored whatever alpha is. 5-5-5 pixels come out with bit 15 clear
/// and 32-bit pixels with the top byte zero, as the pixel routines store them. Source pixels equal
/// to the key are skipped. `src` gives the rows and the pixels per row of both.
/// BlendRectReference gives the same bytes one pixel at a time.
/// @{
void BlendRect(int depth, PixelRect dst, const PixelRect& src, int alpha, SourceKey key);
void BlendRectReference(int depth, PixelRect dst, const PixelRect& src, int alpha, SourceKey key);
/// @}

/// Like BlendRect with a weight per pixel: a = the alpha byte at the same place of `alpha` (one
/// byte per pixel, rows alpha.pitch apart), a' = a + (a >> 7), so 255 stores the source channels
/// exactly and 0 leaves the destination. At 8 bits the source index is stored where a >= 128.
/// AlphaRectReference gives the same bytes one pixel at a time.
/// @{
void AlphaRect(int depth, PixelRect dst, const PixelRect& src, const PixelRect& alpha);
void AlphaRectReference(int depth, PixelRect dst, const PixelRect& src, const PixelRect& alpha);
/// @}

/// Bytes per pixel of a depth code (0 for codes the routines do not know).
int BytesPerPixel(int depth);
