// Text output: TextOutA draws in the one font every DC has, the system's sans-serif font as
// fontconfig names it (DejaVu Sans at its usual place when fontconfig finds none), at 16 pixels
// through FreeType. Glyphs are rendered once and kept (so the frame-rate overlay allocates nothing
// per frame); their anti-aliased coverage is thresholded at one half so the text keeps the solid
// colour asked for, which matters on 8-bit and 16-bit surfaces. The top-left corner of the
// text cell is at (x, y); in OPAQUE mode the cell is filled with the background colour first,
// in TRANSPARENT mode the background is left as it was. Bytes are taken as Latin-1.
#include "gdi/GdiObjects.h"

#include "host/Host.h"
#include "internal/StandIn.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

#ifndef TARN_DEFAULT_FONT
#define TARN_DEFAULT_FONT "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
#endif

namespace tarn::platform {
namespace {

constexpr int FONT_PIXELS = 16;

struct Glyph {
    bool ready = false;
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> mask; // width x rows, 1 where the glyph is drawn
};

struct Font {
    bool tried = false, ok = false;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int ascender = 0, lineHeight = 0;
    Glyph glyphs[256];
};

bool OpenFace(Font& f, const FontFile& file) {
    if (FT_New_Face(f.library, file.path.c_str(), file.index, &f.face) != 0) return false;
    if (FT_Set_Pixel_Sizes(f.face, 0, FONT_PIXELS) == 0) return true;
    FT_Done_Face(f.face);
    f.face = nullptr;
    return false;
}

Font& TheFont() {
    static Font* font = new Font; // lives for the process
    Font& f = *font;
    if (!f.tried) {
        f.tried = true;
        // Fontconfig's choice first on a machine that uses its system's font, the fixed path
        // first on one that does not (the headless host); a file FreeType cannot open leaves
        // the other.
        const FontFile fixed{TARN_DEFAULT_FONT, 0};
        const bool system = CurrentHost().Machine().systemFont;
        if (FT_Init_FreeType(&f.library) == 0 &&
            ((!system && OpenFace(f, fixed)) || OpenFace(f, FindFontFile()) ||
             OpenFace(f, fixed))) {
            f.ascender = (int)((f.face->size->metrics.ascender + 63) >> 6);
            f.lineHeight = (int)((f.face->size->metrics.height + 63) >> 6);
            f.ok = true;
        }
    }
    return f;
}

const Glyph& GlyphOf(Font& font, uint8_t code) {
    Glyph& g = font.glyphs[code];
    if (g.ready) return g;
    g.ready = true;
    if (FT_Load_Char(font.face, code, FT_LOAD_RENDER) != 0) return g;
    FT_GlyphSlot slot = font.face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = (int)(slot->advance.x >> 6);
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return g;
    g.width = (int)bm.width;
    g.rows = (int)bm.rows;
    g.mask.assign((size_t)g.width * (size_t)g.rows, 0);
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x)
            g.mask[(size_t)y * g.width + x] = bm.buffer[y * bm.pitch + x] >= 128 ? 1 : 0;
    return g;
}

inline void PutPixel(const PixelTarget& t, int x, int y, uint32_t value, int bytes) {
    if (x < 0 || y < 0 || x >= t.width || y >= t.height) return;
    uint8_t* p = t.pixels + (long)y * t.pitch + (long)x * bytes;
    for (int i = 0; i < bytes; ++i) p[i] = (uint8_t)(value >> (8 * i));
}

} // namespace

// A private fontconfig configuration, made and destroyed here, so nothing of fontconfig's
// global state is kept or changed for the program.
FontFile FindFontFile() {
    FontFile found{TARN_DEFAULT_FONT, 0};
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return found;
    // The family set directly: as a font name, "sans-serif" would read as "sans" of size "serif".
    FcPattern* pattern = FcPatternCreate();
    if (pattern &&
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif")) &&
        FcConfigSubstitute(config, pattern, FcMatchPattern)) {
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        FcChar8* file = nullptr;
        int index = 0;
        if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
            found.path = reinterpret_cast<const char*>(file);
            if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch)
                found.index = index;
        }
        if (match) FcPatternDestroy(match);
    }
    if (pattern) FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return found;
}

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
        for (int row = 0; row < font.lineHeight; ++row)
            for (int col = 0; col < width; ++col)
                PutPixel(target, x + col, y + row, background, bytes);
    }
    uint32_t ink = EncodeColour(target, dc->textColour);
    int pen = x;
    const int baseline = y + font.ascender;
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
