// The font TextOutA draws with, behind two calls so that the rasteriser can be the platform's:
// FreeType (with fontconfig's choice of font) on the desktop, stb_truetype over the DejaVu file
// in a browser build. TextOut.cpp keeps the rendered glyphs; a backend only opens the font and
// renders one character.
#pragma once

#include <cstdint>
#include <vector>

namespace tarn::platform {

constexpr int FONT_PIXELS = 16; // the em square's height in pixels

struct Glyph {
    bool ready = false;
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> mask; // width x rows, 1 where the glyph is drawn
};

struct FontMetrics {
    int ascender = 0;   // pixels from the top of the text cell to the baseline
    int lineHeight = 0; // pixels from one line to the next
};

// Opens the font once; false when there is none to open (TextOutA then fails).
bool OpenTextFont(FontMetrics* metrics);
// Renders a Latin-1 character into `glyph` (coverage thresholded at one half); a character
// the font lacks leaves it empty.
void RenderGlyph(uint8_t code, Glyph* glyph);

} // namespace tarn::platform
