/// @file
/// Turning a glyph's outline into coverage: the rasterizer TarnFont uses on every platform, and
/// the widening of a glyph's coverage for its outline. Private to the text module.
#pragma once

#include "text/internal/TarnFontFile.h"

#include <cstdint>
#include <vector>

/// A glyph's coverage (0 to 255 per pixel, rows packed) and where its top left lies from the pen
/// on the baseline, in pixels, y down.
struct TarnGlyphBitmap {
    int left, top, width, height;
    std::vector<uint8_t> coverage;
};

/// The outline (font units, y up) at pixelSize pixels to the em of unitsPerEm units, into `out`.
/// 0 (an empty outline gives an empty bitmap); -1 for a glyph far larger than its em or far
/// from its pen (`out` empty).
int RasterizeGlyph(const std::vector<TarnOutlineStep>& steps, int pixelSize, int unitsPerEm,
                   TarnGlyphBitmap* out);
/// `in` widened by a disc `width` pixels across (1 to 16) into `out`, `width` larger on each side.
void WidenGlyph(const TarnGlyphBitmap& in, int width, TarnGlyphBitmap* out);
