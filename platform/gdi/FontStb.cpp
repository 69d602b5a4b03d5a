// The browser build's text font: DejaVu Sans, preloaded into the program's files at its usual
// path, rendered by stb_truetype (Debian's libstb-dev) at 16 pixels. stb_truetype does not hint,
// so the glyphs differ from FreeType's by a pixel here and there; the metrics are rounded the
// way FreeType rounds them, so text sits where it sits on the desktop.
#include "gdi/TextFont.h"

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb_truetype.h>

#include <cmath>
#include <cstdio>
#include <vector>

#ifndef TARN_DEFAULT_FONT
#define TARN_DEFAULT_FONT "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
#endif

namespace tarn::platform {
namespace {

std::vector<unsigned char> fontFile; // stb_truetype reads the file where it lies
stbtt_fontinfo font;
float scale = 0;
bool opened = false;

bool ReadFile(const char* path, std::vector<unsigned char>* out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    unsigned char block[65536];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0)
        out->insert(out->end(), block, block + got);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok && !out->empty();
}

} // namespace

bool OpenTextFont(FontMetrics* metrics) {
    if (!ReadFile(TARN_DEFAULT_FONT, &fontFile)) return false;
    const int offset = stbtt_GetFontOffsetForIndex(fontFile.data(), 0);
    if (offset < 0 || !stbtt_InitFont(&font, fontFile.data(), offset)) return false;
    scale = stbtt_ScaleForMappingEmToPixels(&font, (float)FONT_PIXELS);
    int ascent = 0, descent = 0, lineGap = 0;
    stbtt_GetFontVMetrics(&font, &ascent, &descent, &lineGap);
    metrics->ascender = (int)std::ceil(ascent * scale);
    metrics->lineHeight = (int)std::ceil((ascent - descent + lineGap) * scale);
    opened = true;
    return true;
}

void RenderGlyph(uint8_t code, Glyph* g) {
    if (!opened) return;
    const int index = stbtt_FindGlyphIndex(&font, code);
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&font, index, &advance, &bearing);
    g->advance = (int)std::lround(advance * scale);
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetGlyphBitmapBox(&font, index, scale, scale, &x0, &y0, &x1, &y1);
    if (x1 <= x0 || y1 <= y0) return;
    g->left = x0;
    g->top = -y0;
    g->width = x1 - x0;
    g->rows = y1 - y0;
    std::vector<unsigned char> coverage((size_t)g->width * g->rows);
    stbtt_MakeGlyphBitmap(&font, coverage.data(), g->width, g->rows, g->width, scale, scale, index);
    g->mask.assign(coverage.size(), 0);
    for (size_t i = 0; i < coverage.size(); ++i) g->mask[i] = coverage[i] >= 128 ? 1 : 0;
}

} // namespace tarn::platform
