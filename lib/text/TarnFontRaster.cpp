// The one rasterizer of TarnFont's glyphs on every platform: stb_truetype's (Debian's
// libstb-dev, header-only, compiled here into the library), fed outlines our own reader made,
// so it never reads the font file itself. Outlined glyphs are the plain coverage widened by a
// disc of the outline's width.
#include "text/internal/TarnGlyphRaster.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb_truetype.h>

int RasterizeGlyph(const std::vector<TarnOutlineStep>& steps, int pixelSize, int unitsPerEm,
                   TarnGlyphBitmap* out) {
    out->left = out->top = out->width = out->height = 0;
    out->coverage.clear();
    if (steps.empty()) return 0;
    int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
    std::vector<stbtt_vertex> vertices(steps.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        const TarnOutlineStep& s = steps[i];
        stbtt_vertex& v = vertices[i];
        v = {};
        v.x = s.x, v.y = s.y;
        minX = std::min<int>(minX, s.x), maxX = std::max<int>(maxX, s.x);
        minY = std::min<int>(minY, s.y), maxY = std::max<int>(maxY, s.y);
        if (s.kind == TarnOutlineStep::CURVE) {
            v.type = STBTT_vcurve;
            v.cx = s.cx, v.cy = s.cy;
            minX = std::min<int>(minX, s.cx), maxX = std::max<int>(maxX, s.cx);
            minY = std::min<int>(minY, s.cy), maxY = std::max<int>(maxY, s.cy);
        } else {
            v.type = s.kind == TarnOutlineStep::MOVE ? STBTT_vmove : STBTT_vline;
        }
    }
    const float scale = static_cast<float>(pixelSize) / static_cast<float>(unitsPerEm);
    const int x0 = static_cast<int>(std::floor(static_cast<float>(minX) * scale));
    const int y0 = static_cast<int>(std::floor(static_cast<float>(-maxY) * scale));
    const int x1 = static_cast<int>(std::ceil(static_cast<float>(maxX) * scale));
    const int y1 = static_cast<int>(std::ceil(static_cast<float>(-minY) * scale));
    // A glyph far larger than its em, or far from its pen, is not a letter; drawing it would
    // only cost memory.
    const int limit = 8 * pixelSize + 64;
    if (x1 - x0 > limit || y1 - y0 > limit || x0 < -limit || x0 > limit || y0 < -limit ||
        y0 > limit)
        return -1;
    if (x1 <= x0 || y1 <= y0) return 0;
    out->left = x0, out->top = y0, out->width = x1 - x0, out->height = y1 - y0;
    out->coverage.assign(static_cast<size_t>(out->width) * out->height, 0);
    stbtt__bitmap bitmap;
    bitmap.w = out->width, bitmap.h = out->height, bitmap.stride = out->width;
    bitmap.pixels = out->coverage.data();
    stbtt_Rasterize(&bitmap, 0.35f, vertices.data(), static_cast<int>(vertices.size()), scale,
                    scale, 0.0f, 0.0f, x0, y0, 1, nullptr);
    return 0;
}

void WidenGlyph(const TarnGlyphBitmap& in, int width, TarnGlyphBitmap* out) {
    out->left = in.left - width, out->top = in.top - width;
    out->width = in.width > 0 ? in.width + 2 * width : 0;
    out->height = in.height > 0 ? in.height + 2 * width : 0;
    out->coverage.assign(static_cast<size_t>(out->width) * out->height, 0);
    if (out->width == 0 || out->height == 0) return;
    // The disc, as a half-width per row offset: a pixel within width + 1/2 of the centre.
    int reach[2 * 16 + 1];
    for (int dy = -width; dy <= width; ++dy) {
        int r = 0;
        while ((r + 1) * (r + 1) + dy * dy <= width * width + width) ++r;
        reach[dy + width] = r;
    }
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            const uint8_t c = in.coverage[static_cast<size_t>(y) * in.width + x];
            if (c == 0) continue;
            for (int dy = -width; dy <= width; ++dy) {
                uint8_t* row = &out->coverage[static_cast<size_t>(y + width + dy) * out->width];
                const int r = reach[dy + width];
                for (int dx = -r; dx <= r; ++dx) {
                    uint8_t& o = row[x + width + dx];
                    if (o < c) o = c;
                }
            }
        }
}
