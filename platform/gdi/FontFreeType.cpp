// The desktop's text font: the system's sans-serif font as fontconfig names it, or DejaVu Sans
// at its usual place, rendered by FreeType at 16 pixels (with its hinting). A machine that does
// not use its system's font (the headless host) always gets the fixed file, so frames with text
// are the same on every machine.
#include "gdi/GdiObjects.h"
#include "gdi/TextFont.h"

#include "host/Host.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

#ifndef TARN_DEFAULT_FONT
#define TARN_DEFAULT_FONT "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
#endif

namespace tarn::platform {
namespace {

FT_Library library = nullptr;
FT_Face face = nullptr; // kept for the process once opened

bool OpenFace(const FontFile& file) {
    if (FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) return false;
    if (FT_Set_Pixel_Sizes(face, 0, FONT_PIXELS) == 0) return true;
    FT_Done_Face(face);
    face = nullptr;
    return false;
}

} // namespace

// Fontconfig's choice first on a machine that uses its system's font, the fixed path first on
// one that does not (the headless host); a file FreeType cannot open leaves the other.
bool OpenTextFont(FontMetrics* metrics) {
    const FontFile fixed{TARN_DEFAULT_FONT, 0};
    const bool system = CurrentHost().Machine().systemFont;
    if (FT_Init_FreeType(&library) != 0) return false;
    if (!((!system && OpenFace(fixed)) || OpenFace(FindFontFile()) || OpenFace(fixed)))
        return false;
    metrics->ascender = (int)((face->size->metrics.ascender + 63) >> 6);
    metrics->lineHeight = (int)((face->size->metrics.height + 63) >> 6);
    return true;
}

void RenderGlyph(uint8_t code, Glyph* g) {
    if (!face || FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) return;
    FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g->left = slot->bitmap_left;
    g->top = slot->bitmap_top;
    g->advance = (int)(slot->advance.x >> 6);
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return;
    g->width = (int)bm.width;
    g->rows = (int)bm.rows;
    g->mask.assign((size_t)g->width * (size_t)g->rows, 0);
    for (int y = 0; y < g->rows; ++y)
        for (int x = 0; x < g->width; ++x)
            g->mask[(size_t)y * g->width + x] = bm.buffer[y * bm.pitch + x] >= 128 ? 1 : 0;
}

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
