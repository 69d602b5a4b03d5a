// TarnFont: opening a font (a file, bytes in memory, or the default DejaVu faces), laying UTF-8
// text out in lines (wrapped at spaces when a width is given), and blending the kept glyphs'
// coverage into a locked surface at its own depth.
#include "text/TarnFont.h"

#include "display/TarnScreen.h"
#include "image/TarnFile.h"
#include "surface/internal/BitmapTransfer.h"
#include "surface/TarnSurface.h"
#include "text/internal/TarnFontFile.h"
#include "text/internal/TarnGlyphRaster.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

const uint32_t REPLACEMENT = 0xFFFD;

// The next character of UTF-8 text, `*p` moved past it; a byte that does not begin a well-formed
// sequence (cut, overlong, a surrogate, past U+10FFFF) is one U+FFFD.
uint32_t NextCharacter(const char** p) {
    const auto* s = reinterpret_cast<const unsigned char*>(*p);
    const unsigned char c = s[0];
    int length;
    uint32_t value, least;
    if (c < 0x80) {
        *p += 1;
        return c;
    } else if (c >= 0xC2 && c <= 0xDF) {
        length = 2, value = c & 0x1F, least = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, value = c & 0x0F, least = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, value = c & 0x07, least = 0x10000;
    } else {
        *p += 1;
        return REPLACEMENT;
    }
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) { // also stops at the terminator
            *p += 1;
            return REPLACEMENT;
        }
        value = value << 6 | (s[i] & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        *p += 1;
        return REPLACEMENT;
    }
    *p += length;
    return value;
}

const char* const DEFAULT_FACES[] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansMono.ttf"};
const char* const DEFAULT_FOLDERS[] = {"", "fonts/", "/usr/share/fonts/truetype/dejavu/"};
const DWORD MAX_FILE_SIZE = 64u << 20;
const size_t MAX_PATH_LENGTH = 4096;

// A pen position in 1/64 pixels as whole pixels, rounded up and kept within an int.
int Pixels(long long pen64) {
    return static_cast<int>(std::clamp<long long>((pen64 + 63) / 64, 0, 1 << 30));
}

} // namespace

// Where drawing goes: the locked pixels, their layout, the clip and, at 8 bits, the palette.
struct TarnFont::Target {
    BYTE* pixels;
    long pitch;
    int bytes;
    const PixelLayout* layout;
    RECT clip;
    PALETTEENTRY palette[256];
};

TarnFont::TarnFont() : steps(std::make_unique<std::vector<TarnOutlineStep>>()) {}

TarnFont::~TarnFont() = default;

int TarnFont::Fail(int code, const char* name, const char* why) {
    std::snprintf(errorMessage, sizeof errorMessage, "%s: %s", name ? name : "(null)", why);
    return code;
}

int TarnFont::Open(const char* fileName, int pixelSize) {
    if (fileName == nullptr) return Fail(FONT_BAD_ARGUMENT, fileName, "no file name");
    if (pixelSize < MIN_SIZE || pixelSize > MAX_SIZE)
        return Fail(FONT_BAD_ARGUMENT, fileName, "size outside 6 to 256 pixels");
    TarnFile f;
    if (f.OpenRead(fileName) != 0) return Fail(FONT_NOT_FOUND, fileName, "cannot be opened");
    const DWORD size = f.GetSize();
    if (size > MAX_FILE_SIZE) return Fail(FONT_DAMAGED, fileName, "too large for a font");
    std::vector<BYTE> bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return Fail(FONT_NO_MEMORY, fileName, "out of memory");
    }
    if (f.Read(bytes.data(), size) != size) return Fail(FONT_NOT_FOUND, fileName, "cannot be read");
    auto loaded = std::unique_ptr<TarnFontFile>(new (std::nothrow) TarnFontFile());
    if (!loaded) return Fail(FONT_NO_MEMORY, fileName, "out of memory");
    const int result = loaded->Load(bytes.data(), bytes.size());
    if (result < 0) {
        return Fail(result, fileName,
                    result == TarnFontFile::UNSUPPORTED
                        ? "not TrueType outlines with a Unicode character map"
                    : result == TarnFontFile::NO_MEMORY ? "out of memory"
                                                        : "not a font file, or a damaged one");
    }
    return Adopt(std::move(loaded), pixelSize, fileName);
}

int TarnFont::OpenMemory(const void* bytes, size_t size, int pixelSize) {
    const char* name = "font in memory";
    if (bytes == nullptr) return Fail(FONT_BAD_ARGUMENT, name, "no bytes");
    if (pixelSize < MIN_SIZE || pixelSize > MAX_SIZE)
        return Fail(FONT_BAD_ARGUMENT, name, "size outside 6 to 256 pixels");
    auto loaded = std::unique_ptr<TarnFontFile>(new (std::nothrow) TarnFontFile());
    if (!loaded) return Fail(FONT_NO_MEMORY, name, "out of memory");
    const int result = loaded->Load(bytes, size);
    if (result < 0)
        return Fail(result, name,
                    result == TarnFontFile::UNSUPPORTED
                        ? "not TrueType outlines with a Unicode character map"
                    : result == TarnFontFile::NO_MEMORY ? "out of memory"
                                                        : "not a font, or a damaged one");
    return Adopt(std::move(loaded), pixelSize, name);
}

int TarnFont::OpenDefault(int pixelSize, int face) {
    if (face < TARN_FONT_SANS || face > TARN_FONT_MONO)
        return Fail(FONT_BAD_ARGUMENT, "default font", "no such face");
    // The folder the program's file is in, whatever the current folder is: where a Windows
    // program's fonts/ folder is shipped.
    char program[MAX_PATH_LENGTH] = "";
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) program[0] = '\0';
    char* slash = std::strrchr(program, '/');
    if (char* back = std::strrchr(program, '\\'); back && (!slash || back > slash)) slash = back;
    if (slash)
        slash[1] = '\0';
    else
        program[0] = '\0';

    char path[MAX_PATH_LENGTH + 64];
    const char* places[][2] = {
        {"", DEFAULT_FOLDERS[0]},
        {"", DEFAULT_FOLDERS[1]},
        {program, DEFAULT_FOLDERS[0]},
        {program, DEFAULT_FOLDERS[1]},
#ifndef _WIN32
        // Debian's folder means nothing on Windows (under Wine it would hide a font not shipped).
        {"", DEFAULT_FOLDERS[2]}
#endif
    };
    for (const auto& place : places) {
        if (place[0] == program && program[0] == '\0') continue;
        std::snprintf(path, sizeof path, "%s%s%s", place[0], place[1], DEFAULT_FACES[face]);
        TarnFile probe;
        if (probe.OpenRead(path) != 0) continue;
        probe.Close();
        return Open(path, pixelSize);
    }
    return Fail(FONT_NOT_FOUND, DEFAULT_FACES[face],
                "not found in the current folder, beside the program (or in a fonts/ folder "
                "there)"
#ifndef _WIN32
                " nor in /usr/share/fonts/truetype/dejavu (Debian's fonts-dejavu-core)"
#endif
    );
}

int TarnFont::Adopt(std::unique_ptr<TarnFontFile> loaded, int size, const char* name) {
    std::vector<int32_t> newSlots, newOutlineSlots;
    try {
        newSlots.assign(static_cast<size_t>(loaded->numGlyphs), -1);
        newOutlineSlots.assign(static_cast<size_t>(loaded->numGlyphs), -1);
    } catch (const std::bad_alloc&) {
        return Fail(FONT_NO_MEMORY, name, "out of memory");
    }
    file = std::move(loaded);
    slots.swap(newSlots);
    outlineSlots.swap(newOutlineSlots);
    for (uint32_t c = 0; c < 256; ++c) firstGlyphs[c] = static_cast<uint16_t>(file->GlyphIndex(c));
    Scale(size);
    errorMessage[0] = '\0';
    return 0;
}

// The metrics at a new size, and the glyphs rendered at the old one dropped.
void TarnFont::Scale(int size) {
    pixelSize = size;
    const int em = file->unitsPerEm;
    ascent = std::max(0, (file->ascender * size + em - 1) / em);
    descent = std::max(0, (-file->descender * size + em - 1) / em);
    gap = std::max(0, (file->lineGap * size + em / 2) / em);
    std::fill(slots.begin(), slots.end(), -1);
    std::fill(outlineSlots.begin(), outlineSlots.end(), -1);
    glyphs.clear();
    pool.clear();
}

int TarnFont::SetSize(int size) {
    if (!file) return FONT_NOT_OPEN;
    if (size < MIN_SIZE || size > MAX_SIZE) return FONT_BAD_ARGUMENT;
    if (size != pixelSize) Scale(size);
    return 0;
}

void TarnFont::SetOpacity(int value) {
    opacity = std::clamp(value, 0, 255);
}

void TarnFont::SetShadow(COLORREF colour, int offset) {
    shadowColour = colour;
    shadowOffset = std::clamp(offset, 1, MAX_EFFECT);
}

void TarnFont::SetOutline(COLORREF colour, int width) {
    outlineColour = colour;
    width = std::clamp(width, 1, MAX_EFFECT);
    if (width != outlineWidth) std::fill(outlineSlots.begin(), outlineSlots.end(), -1);
    outlineWidth = width;
}

int TarnFont::GlyphOf(uint32_t codepoint) const {
    return codepoint < 256 ? firstGlyphs[codepoint] : file->GlyphIndex(codepoint);
}

// Font units as 1/64 pixels at the current size, rounded to nearest.
int TarnFont::Units64(int units) const {
    const int em = file->unitsPerEm;
    const long long v = static_cast<long long>(units) * pixelSize * 64;
    return static_cast<int>(v >= 0 ? (v + em / 2) / em : (v - em / 2) / em);
}

// The glyph's coverage at this size, rendered and kept on its first use. A glyph that cannot
// be rendered (damaged, or memory ran out) is kept as an empty one.
const TarnFont::Glyph& TarnFont::Rendered(int glyph, bool outlined) {
    std::vector<int32_t>& table = outlined ? outlineSlots : slots;
    if (table[glyph] >= 0) return glyphs[table[glyph]];
    Glyph record = {};
    try {
        TarnGlyphBitmap plain, widened;
        if (file->Outline(glyph, steps.get()) == 0 &&
            RasterizeGlyph(*steps, pixelSize, file->unitsPerEm, &plain) == 0) {
            if (outlined) WidenGlyph(plain, outlineWidth, &widened);
            const TarnGlyphBitmap& b = outlined ? widened : plain;
            if (pool.size() + b.coverage.size() <= UINT32_MAX && b.width > 0 && b.height > 0) {
                record = {static_cast<int16_t>(b.left), static_cast<int16_t>(b.top),
                          static_cast<int16_t>(b.width), static_cast<int16_t>(b.height),
                          static_cast<uint32_t>(pool.size())};
                pool.insert(pool.end(), b.coverage.begin(), b.coverage.end());
            }
        }
        glyphs.push_back(record);
        table[glyph] = static_cast<int32_t>(glyphs.size() - 1);
        return glyphs.back();
    } catch (const std::bad_alloc&) {
        static const Glyph empty = {};
        return empty;
    }
}

// One line from `text`: up to a `\n` or the end, or (wrapWidth above 0) up to the last space
// that keeps it within wrapWidth pixels, a word longer than that broken where it overflows. The
// start of the next line, or null when this was the last.
const char* TarnFont::NextLine(const char* text, int wrapWidth, Line* line) {
    const char* p = text;
    const char* breakAt = nullptr; // the first space of the last run of spaces
    long long breakWidth = 0, pen = 0;
    int previous = -1;
    bool afterSpace = false;
    while (*p != '\0' && *p != '\n') {
        const char* q = p;
        const uint32_t c = NextCharacter(&q);
        if (c < 0x20) { // other control characters take no room
            p = q;
            continue;
        }
        const bool space = c == ' ';
        if (space && !afterSpace) breakAt = p, breakWidth = pen;
        afterSpace = space;
        const int glyph = GlyphOf(c);
        long long next = pen + Units64(file->Advance(glyph));
        if (previous >= 0) next += Units64(file->Kerning(previous, glyph));
        if (wrapWidth > 0 && !space && (next + 63) / 64 > wrapWidth) {
            if (breakAt != nullptr && breakAt != text) {
                line->begin = text, line->end = breakAt;
                line->width = Pixels(breakWidth);
                while (*breakAt == ' ') ++breakAt;
                return breakAt;
            }
            if (p != text) {
                line->begin = text, line->end = p, line->width = Pixels(pen);
                return p;
            }
        }
        pen = next, previous = glyph, p = q;
    }
    line->begin = text, line->end = p, line->width = Pixels(pen);
    return *p == '\n' ? p + 1 : nullptr;
}

int TarnFont::Measure(const char* utf8, int* width, int* height, int wrapWidth) {
    if (width == nullptr || height == nullptr) return FONT_BAD_ARGUMENT;
    *width = *height = 0;
    if (!file) return FONT_NOT_OPEN;
    if (utf8 == nullptr) return 0;
    Line line;
    for (const char* p = utf8; p != nullptr;) {
        p = NextLine(p, wrapWidth, &line);
        *width = std::max(*width, line.width);
        *height += LineHeight();
    }
    return 0;
}

int TarnFont::Draw(TarnSurface* surface, int x, int y, COLORREF colour, const char* utf8,
                   DWORD flags) {
    return DrawLines(surface, x, y, 0, nullptr, colour, 255, utf8, flags, false);
}

int TarnFont::Draw(TarnSurface* surface, int x, int y, TarnColour colour, const char* utf8,
                   DWORD flags) {
    return DrawLines(surface, x, y, 0, nullptr, colour.ToCOLORREF(), colour.a, utf8, flags, false);
}

int TarnFont::DrawBox(TarnSurface* surface, const RECT* box, COLORREF colour, const char* utf8,
                      DWORD flags) {
    return DrawBox(surface, box, TarnColour::FromCOLORREF(colour), utf8, flags);
}

int TarnFont::DrawBox(TarnSurface* surface, const RECT* box, TarnColour colour, const char* utf8,
                      DWORD flags) {
    if (box == nullptr) return FONT_BAD_ARGUMENT;
    if (box->right <= box->left || box->bottom <= box->top) return file ? 0 : FONT_NOT_OPEN;
    return DrawLines(surface, box->left, box->top, box->right - box->left, box, colour.ToCOLORREF(),
                     colour.a, utf8, flags, true);
}

int TarnFont::DrawLines(TarnSurface* surface, int x, int y, int wrapWidth, const RECT* clip,
                        COLORREF colour, int alpha, const char* utf8, DWORD flags, bool box) {
    if (!file) return FONT_NOT_OPEN;
    if (surface == nullptr) return FONT_BAD_ARGUMENT;
    const int shown = (opacity * alpha + 127) / 255;
    if (utf8 == nullptr || shown == 0) return 0;
    const int depth = surface->pixelLayout.depth;
    if (surface->surface == nullptr ||
        (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32))
        return FONT_SURFACE;
    Target target;
    target.layout = &surface->pixelLayout;
    target.bytes = depth == 8 ? 1 : depth <= 16 ? 2 : depth / 8;
    RECT area = surface->clipArea;
    area.left = std::max<LONG>(area.left, 0), area.top = std::max<LONG>(area.top, 0);
    area.right = std::min<LONG>(area.right, surface->width);
    area.bottom = std::min<LONG>(area.bottom, surface->height);
    if (clip != nullptr) {
        area.left = std::max(area.left, clip->left), area.top = std::max(area.top, clip->top);
        area.right = std::min(area.right, clip->right);
        area.bottom = std::min(area.bottom, clip->bottom);
    }
    if (area.right <= area.left || area.bottom <= area.top) return 0;
    target.clip = area;
    if (depth == 8) {
        // The palette the surface shows: its own, else the screen's, else the fixed one.
        IDirectDrawPalette* palette = nullptr;
        if (FAILED(surface->surface->GetPalette(&palette)) || palette == nullptr) {
            palette = surface->screen != nullptr ? surface->screen->palette : nullptr;
            if (palette != nullptr) palette->AddRef();
        }
        if (palette == nullptr || FAILED(palette->GetEntries(0, 0, 256, target.palette)))
            FillDefaultPalette(target.palette);
        if (palette != nullptr) palette->Release();
    }
    if (surface->Lock() < 1) return FONT_SURFACE;
    target.pixels = static_cast<BYTE*>(surface->surfaceDesc.lpSurface);
    target.pitch = surface->surfaceDesc.lPitch;
    const int alignWidth = box ? wrapWidth : 0;
    if (flags & TARN_TEXT_SHADOW)
        DrawPass(target, x + shadowOffset, y + shadowOffset, wrapWidth, alignWidth, utf8, flags,
                 (flags & TARN_TEXT_OUTLINE) ? 1 : 0, shadowColour, shown);
    if (flags & TARN_TEXT_OUTLINE)
        DrawPass(target, x, y, wrapWidth, alignWidth, utf8, flags, 1, outlineColour, shown);
    DrawPass(target, x, y, wrapWidth, alignWidth, utf8, flags, 0, colour, shown);
    surface->Unlock();
    return 0;
}

// Every line of the text once, in one colour, plain or outlined glyphs. Draw aligns on x
// (alignWidth 0), DrawBox within [x, x + alignWidth).
void TarnFont::DrawPass(Target& target, int x, int y, int wrapWidth, int alignWidth,
                        const char* utf8, DWORD flags, int outlined, DWORD colour, int alpha) {
    // 8 bits: the mixes found are kept for this pass only (the colour and palette may change).
    if (target.layout->depth == 8) std::memset(paletteKnown, 0, sizeof paletteKnown);
    Line line;
    // How far a glyph may reach from its pen and line: as large as RasterizeGlyph lets it be.
    const int reach = 8 * pixelSize + 64 + 2 * MAX_EFFECT;
    long long top = y;
    for (const char* p = utf8; p != nullptr; top += LineHeight()) {
        p = NextLine(p, wrapWidth, &line);
        if (top - reach >= target.clip.bottom) break;
        if (top + LineHeight() + reach <= target.clip.top) continue;
        long long left = x;
        if (flags & TARN_TEXT_CENTRE)
            left = alignWidth > 0 ? x + (alignWidth - line.width) / 2 : x - line.width / 2;
        else if (flags & TARN_TEXT_RIGHT)
            left = alignWidth > 0 ? x + alignWidth - line.width : x - line.width;
        const int baseline = static_cast<int>(top) + ascent;
        long long pen = 0;
        int previous = -1;
        for (const char* q = line.begin; q < line.end;) {
            const long long at = left + (pen + 32) / 64;
            if (at - reach >= target.clip.right) break; // the rest lies right of the clip
            const uint32_t c = NextCharacter(&q);
            if (c < 0x20) continue;
            const int glyph = GlyphOf(c);
            if (previous >= 0) pen += Units64(file->Kerning(previous, glyph));
            const long long penX = left + (pen + 32) / 64;
            pen += Units64(file->Advance(glyph));
            previous = glyph;
            if (penX + reach <= target.clip.left) continue; // left of the clip
            const Glyph& g = Rendered(glyph, outlined != 0);
            if (g.width > 0)
                BlendGlyph(target, g, static_cast<int>(penX) + g.left, baseline + g.top, colour,
                           alpha);
        }
    }
}

// The glyph's coverage times the opacity mixes the colour into each pixel under it: per
// channel at the surface's own precision; at 8 bits, the palette entry nearest the mix.
void TarnFont::BlendGlyph(Target& t, const Glyph& g, int x, int y, DWORD colour, int alpha) {
    const int x0 = std::max<int>(x, t.clip.left), x1 = std::min<int>(x + g.width, t.clip.right);
    const int y0 = std::max<int>(y, t.clip.top), y1 = std::min<int>(y + g.height, t.clip.bottom);
    if (x0 >= x1 || y0 >= y1) return;
    const int r = GetRValue(colour), gr = GetGValue(colour), b = GetBValue(colour);
    const PixelLayout& l = *t.layout;
    if (l.depth == 8) {
        auto nearest = [&](int rr, int gg, int bb) {
            int best = 0;
            long bestDistance = -1;
            for (int i = 0; i < 256; ++i) {
                const long dr = t.palette[i].peRed - rr, dg = t.palette[i].peGreen - gg,
                           db = t.palette[i].peBlue - bb;
                const long d = dr * dr + dg * dg + db * db;
                if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
            }
            return static_cast<uint8_t>(best);
        };
        for (int yy = y0; yy < y1; ++yy) {
            const uint8_t* cov = &pool[g.pixels + static_cast<size_t>(yy - y) * g.width];
            BYTE* row = t.pixels + static_cast<long>(yy) * t.pitch;
            for (int xx = x0; xx < x1; ++xx) {
                const int a = (cov[xx - x] * alpha + 127) / 255;
                const int level = (a * 16 + 127) / 255;
                if (level == 0) continue;
                const int d = level == 16 ? 0 : row[xx];
                const size_t key = static_cast<size_t>(d) * 17 + level;
                if (!paletteKnown[key]) {
                    const PALETTEENTRY& e = t.palette[d];
                    auto mix = [level](int from, int to) {
                        return from + ((to - from) * level + (to > from ? 8 : -8)) / 16;
                    };
                    paletteMix[key] = level == 16 ? nearest(r, gr, b)
                                                  : nearest(mix(e.peRed, r), mix(e.peGreen, gr),
                                                            mix(e.peBlue, b));
                    paletteKnown[key] = 1;
                }
                row[xx] = paletteMix[key];
            }
        }
        return;
    }
    // The colour at the surface's precision (as MapRGB cuts it), and the channels' masks.
    const int sr = (r * (l.redMax + 1)) >> 8, sg = (gr * (l.greenMax + 1)) >> 8,
              sb = (b * (l.blueMax + 1)) >> 8;
    const DWORD solid = static_cast<DWORD>(sr) << l.redShift |
                        static_cast<DWORD>(sg) << l.greenShift |
                        static_cast<DWORD>(sb) << l.blueShift;
    const DWORD masks = static_cast<DWORD>(l.redMax) << l.redShift |
                        static_cast<DWORD>(l.greenMax) << l.greenShift |
                        static_cast<DWORD>(l.blueMax) << l.blueShift;
    auto blend = [&](DWORD d, int a) -> DWORD {
        if (a >= 255) return (d & ~masks) | solid;
        const int w = a * 257; // 0..65535 for 0..255
        const int dr = (d >> l.redShift) & l.redMax, dg = (d >> l.greenShift) & l.greenMax,
                  db = (d >> l.blueShift) & l.blueMax;
        const int nr = dr + (((sr - dr) * w + 32768) >> 16);
        const int ng = dg + (((sg - dg) * w + 32768) >> 16);
        const int nb = db + (((sb - db) * w + 32768) >> 16);
        return (d & ~masks) | static_cast<DWORD>(nr) << l.redShift |
               static_cast<DWORD>(ng) << l.greenShift | static_cast<DWORD>(nb) << l.blueShift;
    };
    for (int yy = y0; yy < y1; ++yy) {
        const uint8_t* cov = &pool[g.pixels + static_cast<size_t>(yy - y) * g.width];
        BYTE* row = t.pixels + static_cast<long>(yy) * t.pitch;
        for (int xx = x0; xx < x1; ++xx) {
            const int c = cov[xx - x];
            if (c == 0) continue;
            const int a = alpha == 255 ? c : (c * alpha + 127) / 255;
            if (a == 0) continue;
            if (t.bytes == 4) {
                DWORD* px = reinterpret_cast<DWORD*>(row) + xx;
                *px = blend(*px, a);
            } else if (t.bytes == 2) {
                WORD* px = reinterpret_cast<WORD*>(row) + xx;
                *px = static_cast<WORD>(blend(*px, a));
            } else {
                BYTE* px = row + xx * 3;
                const DWORD d = px[0] | px[1] << 8 | px[2] << 16;
                const DWORD n = blend(d, a);
                px[0] = static_cast<BYTE>(n), px[1] = static_cast<BYTE>(n >> 8);
                px[2] = static_cast<BYTE>(n >> 16);
            }
        }
    }
}
