/// @file
/// TarnFont: text in a TrueType font at one pixel size, from UTF-8, with smooth edges, onto any
/// TarnSurface. The font's glyphs are rendered once, when first drawn, and kept; after that a
/// line of text costs no allocation. The same rasterizer is compiled into the library on every
/// platform, so a text gives the same pixels wherever it is drawn. Beside it, TarnSurface's
/// DrawString keeps GDI's one font for programs written that way.
#pragma once

#include <windows.h>

#include "surface/TarnColour.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TarnSurface;
class TarnFontFile;
struct TarnOutlineStep;

/// OpenDefault's faces: DejaVu Sans, DejaVu Sans Bold, DejaVu Sans Mono.
/// @{
const int TARN_FONT_SANS = 0;
const int TARN_FONT_BOLD = 1;
const int TARN_FONT_MONO = 2;
/// @}

/// Draw's and DrawBox's flags. Left alignment is the default; CENTRE and RIGHT align each line
/// (Draw: on x as the line's centre or right end; DrawBox: within the box). SHADOW draws the text
/// once more behind itself, offset down and right (SetShadow); OUTLINE draws a border around
/// each glyph (SetOutline).
/// @{
const DWORD TARN_TEXT_CENTRE = 0x1;
const DWORD TARN_TEXT_RIGHT = 0x2;
const DWORD TARN_TEXT_SHADOW = 0x4;
const DWORD TARN_TEXT_OUTLINE = 0x8;
/// @}

/// TarnFont's results besides 0.
/// @{
const int FONT_BAD_ARGUMENT = -1; ///< a null name or surface, a size outside 6 to 256, no face
const int FONT_NOT_FOUND = -2;    ///< the file is missing or cannot be read
const int FONT_DAMAGED = -3;      ///< not a font file, or its tables are cut or inconsistent
const int FONT_UNSUPPORTED = -4;  ///< outlines other than TrueType's, or no Unicode map
const int FONT_NO_MEMORY = -5;    ///< memory ran out
const int FONT_NOT_OPEN = -6;     ///< no font has been opened
const int FONT_SURFACE = -7;      ///< the surface cannot be locked, or has no pixel format we draw
/// @}

/// One font at one pixel size (the em's height in pixels, as CSS and SDL_ttf size a font).
class TarnFont {
public:
    /// Sizes Open and SetSize accept.
    /// @{
    static constexpr int MIN_SIZE = 6;
    static constexpr int MAX_SIZE = 256;
    /// @}
    /// Widest outline and farthest shadow SetOutline and SetShadow accept, in pixels.
    static constexpr int MAX_EFFECT = 16;

    /// A font with nothing open: Open, OpenMemory or OpenDefault opens one.
    TarnFont();
    /// Releases the font file and the glyphs rendered from it.
    virtual ~TarnFont();
    /// Not copied: each font keeps its own glyphs.
    /// @{
    TarnFont(const TarnFont&) = delete;
    TarnFont& operator=(const TarnFont&) = delete;
    /// @}

    /// Opens a TrueType (or OpenType with TrueType outlines) file at `pixelSize`. 0, or
    /// FONT_BAD_ARGUMENT, FONT_NOT_FOUND, FONT_DAMAGED, FONT_UNSUPPORTED, FONT_NO_MEMORY, with
    /// ErrorMessage saying why; a failure leaves the font that was open (if any) as it was.
    int Open(const char* fileName, int pixelSize);
    /// As Open, from `size` bytes in memory (copied: the caller's buffer may go).
    int OpenMemory(const void* bytes, size_t size, int pixelSize);
    /// Opens the default font's face (TARN_FONT_SANS, TARN_FONT_BOLD or TARN_FONT_MONO), DejaVu,
    /// looked for in the working folder and its fonts/ folder, then in the folder the program's
    /// file is in and its fonts/ folder, and then (not on Windows) where Debian's
    /// fonts-dejavu-core puts it.
    /// Results as Open.
    int OpenDefault(int pixelSize, int face = TARN_FONT_SANS);
    /// Changes the size of the open font; the glyphs rendered so far are dropped. 0,
    /// FONT_NOT_OPEN or FONT_BAD_ARGUMENT (the size stays).
    int SetSize(int pixelSize);
    /// The size in pixels; 0 when no font is open.
    int Size() const { return pixelSize; }
    /// True when a font is open.
    bool IsOpen() const { return file != nullptr; }
    /// What the last failed Open, OpenMemory or OpenDefault found (the file and the reason); ""
    /// after a success.
    const char* ErrorMessage() const { return errorMessage; }

    /// Draws a line of UTF-8 text (`\n` starts a new line) in `colour` with its first line's cell
    /// at (x, y) (aligned by the flags), clipped to the surface's clip area. A character the font
    /// lacks draws the font's replacement glyph, bytes that are not UTF-8 draw U+FFFD; neither
    /// fails. 0 (also for null text); FONT_NOT_OPEN, FONT_BAD_ARGUMENT (no surface) or
    /// FONT_SURFACE.
    int Draw(TarnSurface* surface, int x, int y, COLORREF colour, const char* utf8,
             DWORD flags = 0);
    /// Draws text wrapped to the box's width (at spaces; a word longer than a line is broken),
    /// aligned within the box by the flags, clipped to the box and the surface's clip area.
    /// Results as Draw; FONT_BAD_ARGUMENT for a null box.
    int DrawBox(TarnSurface* surface, const RECT* box, COLORREF colour, const char* utf8,
                DWORD flags = 0);
    /// As Draw and DrawBox in a typed colour, whose alpha multiplies the opacity (SetOpacity)
    /// of the text and its effects.
    /// @{
    int Draw(TarnSurface* surface, int x, int y, TarnColour colour, const char* utf8,
             DWORD flags = 0);
    int DrawBox(TarnSurface* surface, const RECT* box, TarnColour colour, const char* utf8,
                DWORD flags = 0);
    /// @}
    /// The size of the text as Draw (wrapWidth 0) or DrawBox (its box's width) lays it out: the
    /// widest line's advance and LineHeight times the lines. Shadow and outline are not counted.
    /// 0, FONT_NOT_OPEN or FONT_BAD_ARGUMENT (null width or height); null text measures 0 x 0.
    int Measure(const char* utf8, int* width, int* height, int wrapWidth = 0);

    /// Pixels from one line's top to the next line's top: Ascent, Descent and the font's gap.
    int LineHeight() const { return ascent + descent + gap; }
    /// Pixels from a line's top to its baseline.
    int Ascent() const { return ascent; }
    /// Pixels from the baseline to the lowest point of the line's glyphs.
    int Descent() const { return descent; }

    /// The opacity of the text and its effects: 0 (invisible) to 255 (opaque, the default).
    void SetOpacity(int opacity);
    /// The shadow's colour and its offset down and right in pixels (1 to MAX_EFFECT; default
    /// black, 2).
    void SetShadow(COLORREF colour, int offset);
    /// The outline's colour and width in pixels (1 to MAX_EFFECT; default black, 1).
    void SetOutline(COLORREF colour, int width);
    /// As SetShadow and SetOutline in a typed colour (its red, green and blue; their opacity is
    /// the text's).
    /// @{
    void SetShadow(TarnColour colour, int offset) { SetShadow(colour.ToCOLORREF(), offset); }
    void SetOutline(TarnColour colour, int width) { SetOutline(colour.ToCOLORREF(), width); }
    /// @}

private:
    struct Glyph {
        int16_t left, top;     ///< the bitmap's top left from the pen on the baseline
        int16_t width, height; ///< the bitmap's size, 0 for an empty glyph
        uint32_t pixels;       ///< its first coverage byte in the pool
    };
    struct Line {
        const char* begin; ///< its first byte
        const char* end;   ///< past its last byte (spaces at a wrap left out)
        int width;         ///< its advance in pixels
    };
    struct Target;

    int Adopt(std::unique_ptr<TarnFontFile> loaded, int size, const char* name);
    int Fail(int code, const char* name, const char* why);
    void Scale(int size);
    int GlyphOf(uint32_t codepoint) const;
    int Units64(int units) const;
    const Glyph& Rendered(int glyph, bool outlined);
    const char* NextLine(const char* text, int wrapWidth, Line* line);
    int DrawLines(TarnSurface* surface, int x, int y, int wrapWidth, const RECT* clip,
                  COLORREF colour, int alpha, const char* utf8, DWORD flags, bool box);
    void DrawPass(Target& target, int x, int y, int wrapWidth, int alignWidth, const char* utf8,
                  DWORD flags, int outline, DWORD colour, int opacity);
    void BlendGlyph(Target& target, const Glyph& g, int x, int y, DWORD colour, int opacity);

    std::unique_ptr<TarnFontFile> file;
    int pixelSize = 0;
    int ascent = 0, descent = 0, gap = 0;
    int opacity = 255;
    COLORREF shadowColour = 0, outlineColour = 0;
    int shadowOffset = 2, outlineWidth = 1;
    /// The glyphs' slots by glyph index, -1 before the first draw; plain and outlined.
    std::vector<int32_t> slots, outlineSlots;
    std::vector<Glyph> glyphs;
    std::vector<uint8_t> pool;                           ///< all rendered coverage, 0 to 255
    uint16_t firstGlyphs[256] = {};                      ///< the glyphs of U+0000 to U+00FF
    std::unique_ptr<std::vector<TarnOutlineStep>> steps; ///< kept between renders
    /// At 8 bits: per destination index and 16ths of coverage, the nearest palette entry of the
    /// mix (valid where known is set), rebuilt by each draw.
    uint8_t paletteMix[256 * 17];
    uint8_t paletteKnown[256 * 17];
    char errorMessage[320] = "";
};
