// Text output: TextOutA draws in the one font every DC has, at 16 pixels: the system's
// sans-serif font as fontconfig names it, through FreeType, on the desktop (DejaVu Sans at its
// usual place when fontconfig finds none); DejaVu Sans through stb_truetype in a browser build
// (TextFont.h). Glyphs are rendered once and kept (so the frame-rate overlay allocates nothing
// per frame); their anti-aliased coverage is thresholded at one half so the text keeps the solid
// colour asked for, which matters on 8-bit and 16-bit surfaces. The top-left corner of the
// text cell is at (x, y); in OPAQUE mode the cell is filled with the background colour first,
// in TRANSPARENT mode the background is left as it was. Bytes are taken as Latin-1.
#include "gdi/GdiObjects.h"
#include "gdi/TextFont.h"

#include "internal/StandIn.h"

namespace tarn::platform {
namespace {

struct Font {
    bool tried = false, ok = false;
    FontMetrics metrics;
    Glyph glyphs[256];
};

Font& TheFont() {
    static Font* font = new Font; // lives for the process
    Font& f = *font;
    if (!f.tried) {
        f.tried = true;
        f.ok = OpenTextFont(&f.metrics);
    }
    return f;
}

const Glyph& GlyphOf(Font& font, uint8_t code) {
    Glyph& g = font.glyphs[code];
    if (!g.ready) {
        g.ready = true;
        RenderGlyph(code, &g);
    }
    return g;
}

inline void PutPixel(const PixelTarget& t, int x, int y, uint32_t value, int bytes) {
    if (x < 0 || y < 0 || x >= t.width || y >= t.height) return;
    uint8_t* p = t.pixels + (long)y * t.pitch + (long)x * bytes;
    for (int i = 0; i < bytes; ++i) p[i] = (uint8_t)(value >> (8 * i));
}

} // namespace
} // namespace tarn::platform

using namespace tarn::platform;

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
    if (BOOL result; Enter<"TextOutA">(&result)) return result;
    DeviceContext* dc = FindDC(hdc);
    if (!dc || c < 0 || (c > 0 && !lpString)) return FALSE;
    PixelTarget target;
    if (!TargetOf(dc, &target)) return FALSE;
    if (c == 0) return TRUE;
    Font& font = TheFont();
    if (!font.ok) return FALSE;
    const int bytes = target.bits / 8;

    if (dc->bkMode == OPAQUE) {
        int width = 0;
        for (int i = 0; i < c; ++i) width += GlyphOf(font, (uint8_t)lpString[i]).advance;
        uint32_t background = EncodeColour(target, dc->bkColour);
        for (int row = 0; row < font.metrics.lineHeight; ++row)
            for (int col = 0; col < width; ++col)
                PutPixel(target, x + col, y + row, background, bytes);
    }
    uint32_t ink = EncodeColour(target, dc->textColour);
    int pen = x;
    const int baseline = y + font.metrics.ascender;
    for (int i = 0; i < c; ++i) {
        const Glyph& g = GlyphOf(font, (uint8_t)lpString[i]);
        for (int gy = 0; gy < g.rows; ++gy)
            for (int gx = 0; gx < g.width; ++gx)
                if (g.mask[(size_t)gy * g.width + gx])
                    PutPixel(target, pen + g.left + gx, baseline - g.top + gy, ink, bytes);
        pen += g.advance;
    }
    return TRUE;
}
