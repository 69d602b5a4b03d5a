// TarnFont: opening fonts (and refusing missing, damaged and unsupported ones with a message),
// the metrics, the layout (kerning, wrapping, alignment, new lines), UTF-8 with its
// replacements, and drawing onto surfaces of every depth compared pixel by pixel with a model
// built from the glyphs' coverage, clipped, with opacity, shadow and outline; a frame of text
// allocates nothing once drawn. Small fonts built here pin down the reader's outlines,
// composite glyphs, character maps and kerning exactly; DejaVu is the real font.
#include "display/TarnScreen.h"
#include "surface/internal/BitmapTransfer.h"
#include "surface/TarnSurface.h"
#include "text/TarnFont.h"

#include "support/AllocationCounter.h"
#include "support/ByteWriter.h"
#include "support/DesktopScreenTest.h"
#include "support/ScreenFixture.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using samples::Bytes;
using samples::Put16BE;
using samples::Put32BE;

const char* const SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

Bytes ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A small TrueType font of 1000 units to the em: ascender 800, descender -200; the glyphs'
// outline bytes given whole, each advancing 700 units; a format 4 map (or 12 when asked) from
// characters to glyphs; kerning pairs.
struct FontRecipe {
    std::vector<Bytes> glyphs;
    std::map<uint32_t, int> characters;
    std::vector<std::pair<std::pair<int, int>, int>> kerning;
    bool fullMap = false;
};

// A glyph of one closed contour through on-curve points (font units).
Bytes Polygon(const std::vector<std::pair<int, int>>& points) {
    Bytes g;
    Put16BE(g, 1);
    for (int i = 0; i < 4; ++i) Put16BE(g, 0); // the box: not read
    Put16BE(g, static_cast<unsigned>(points.size() - 1));
    Put16BE(g, 0); // no instructions
    for (size_t i = 0; i < points.size(); ++i) g.push_back(0x01);
    int last = 0;
    for (auto [x, y] : points) Put16BE(g, static_cast<uint16_t>(x - last)), last = x;
    last = 0;
    for (auto [x, y] : points) Put16BE(g, static_cast<uint16_t>(y - last)), last = y;
    return g;
}

// A composite glyph of components (glyph, dx, dy).
Bytes Composite(const std::vector<std::tuple<int, int, int>>& parts) {
    Bytes g;
    Put16BE(g, 0xFFFF);
    for (int i = 0; i < 4; ++i) Put16BE(g, 0);
    for (size_t i = 0; i < parts.size(); ++i) {
        Put16BE(g, 0x1 | 0x2 | (i + 1 < parts.size() ? 0x20 : 0));
        Put16BE(g, std::get<0>(parts[i]));
        Put16BE(g, static_cast<uint16_t>(std::get<1>(parts[i])));
        Put16BE(g, static_cast<uint16_t>(std::get<2>(parts[i])));
    }
    return g;
}

Bytes BuildFont(const FontRecipe& recipe) {
    const int n = static_cast<int>(recipe.glyphs.size());
    std::map<std::string, Bytes> t;
    Bytes& head = t["head"];
    head.resize(54);
    head[18] = 1000 >> 8, head[19] = 1000 & 0xFF;
    head[51] = 1; // long offsets
    Bytes& hhea = t["hhea"];
    Put32BE(hhea, 0x00010000);
    Put16BE(hhea, 800), Put16BE(hhea, static_cast<uint16_t>(-200)), Put16BE(hhea, 0);
    hhea.resize(34);
    Put16BE(hhea, n);
    Bytes& maxp = t["maxp"];
    Put32BE(maxp, 0x00005000), Put16BE(maxp, n);
    Bytes& hmtx = t["hmtx"];
    Bytes& loca = t["loca"];
    Bytes& glyf = t["glyf"];
    for (const Bytes& g : recipe.glyphs) {
        Put16BE(hmtx, 700), Put16BE(hmtx, 0);
        Put32BE(loca, static_cast<uint32_t>(glyf.size()));
        glyf.insert(glyf.end(), g.begin(), g.end());
        if (glyf.size() % 2) glyf.push_back(0);
    }
    Put32BE(loca, static_cast<uint32_t>(glyf.size()));
    Bytes& cmap = t["cmap"];
    Put16BE(cmap, 0), Put16BE(cmap, 1), Put16BE(cmap, 3), Put16BE(cmap, recipe.fullMap ? 10 : 1);
    Put32BE(cmap, 12);
    if (recipe.fullMap) {
        Put16BE(cmap, 12), Put16BE(cmap, 0), Put32BE(cmap, 0), Put32BE(cmap, 0);
        Put32BE(cmap, static_cast<uint32_t>(recipe.characters.size()));
        for (auto [c, g] : recipe.characters) Put32BE(cmap, c), Put32BE(cmap, c), Put32BE(cmap, g);
    } else {
        const unsigned segments = static_cast<unsigned>(recipe.characters.size()) + 1;
        Put16BE(cmap, 4), Put16BE(cmap, 16 + segments * 8), Put16BE(cmap, 0);
        Put16BE(cmap, segments * 2), Put16BE(cmap, 0), Put16BE(cmap, 0), Put16BE(cmap, 0);
        for (auto [c, g] : recipe.characters) Put16BE(cmap, c);
        Put16BE(cmap, 0xFFFF), Put16BE(cmap, 0);
        for (auto [c, g] : recipe.characters) Put16BE(cmap, c);
        Put16BE(cmap, 0xFFFF);
        for (auto [c, g] : recipe.characters) Put16BE(cmap, static_cast<uint16_t>(g - c));
        Put16BE(cmap, 1);
        for (unsigned i = 0; i < segments; ++i) Put16BE(cmap, 0);
    }
    if (!recipe.kerning.empty()) {
        Bytes& kern = t["kern"];
        Put16BE(kern, 0), Put16BE(kern, 1), Put16BE(kern, 0);
        Put16BE(kern, static_cast<unsigned>(14 + recipe.kerning.size() * 6)), Put16BE(kern, 1);
        Put16BE(kern, static_cast<unsigned>(recipe.kerning.size()));
        Put16BE(kern, 0), Put16BE(kern, 0), Put16BE(kern, 0);
        for (auto [pair, value] : recipe.kerning)
            Put16BE(kern, pair.first), Put16BE(kern, pair.second),
                Put16BE(kern, static_cast<uint16_t>(value));
    }
    Bytes font;
    Put32BE(font, 0x00010000), Put16BE(font, static_cast<unsigned>(t.size()));
    Put16BE(font, 0), Put16BE(font, 0), Put16BE(font, 0);
    size_t offset = 12 + 16 * t.size();
    for (auto& [tag, table] : t) {
        font.insert(font.end(), tag.begin(), tag.end());
        Put32BE(font, 0), Put32BE(font, static_cast<uint32_t>(offset));
        Put32BE(font, static_cast<uint32_t>(table.size()));
        offset += (table.size() + 3) & ~size_t{3};
    }
    for (auto& [tag, table] : t) {
        font.insert(font.end(), table.begin(), table.end());
        while (font.size() % 4) font.push_back(0);
    }
    return font;
}

// Glyph 1 a square from (100, 0) to (600, 700); 2 the square moved 200 units right as a
// composite; 3 a composite holding itself; 4 a composite of 2 twice, nested 8 deep (its
// parts nest deeper than is followed); 40 holds glyph 60000, which does not exist; 41 a square
// far from its pen.
FontRecipe SquareFont() {
    FontRecipe recipe;
    recipe.glyphs.push_back({});
    recipe.glyphs.push_back(Polygon({{100, 0}, {100, 700}, {600, 700}, {600, 0}}));
    recipe.glyphs.push_back(Composite({{1, 200, 0}}));
    recipe.glyphs.push_back(Composite({{3, 0, 0}}));
    recipe.glyphs.push_back(Composite({{5, 0, 0}, {5, 0, 0}}));
    for (int i = 5; i < 40; ++i) recipe.glyphs.push_back(Composite({{i + 1, 0, 0}, {i + 1, 0, 0}}));
    recipe.glyphs.push_back(Composite({{60000, 0, 0}}));
    recipe.glyphs.push_back(Polygon({{30000, 0}, {30000, 700}, {30500, 700}, {30500, 0}}));
    recipe.characters = {{'A', 1}, {'B', 2}, {'C', 3}, {'D', 4}, {'E', 40}, {'F', 41}};
    return recipe;
}

class TextTest : public DesktopScreenTest {
protected:
    // A w x h surface of a depth code, every pixel `fill`.
    TarnSurface* Make(int depth, int w, int h, DWORD fill = 0) {
        const DDPIXELFORMAT format = FormatOf(depth);
        TarnSurface* s = WrapOffscreenSurface(screen, w, h, DDSCAPS_SYSTEMMEMORY, &format);
        made.push_back(s);
        RECT all = {0, 0, w, h};
        EXPECT_EQ(s->FillRect(&all, fill), 0);
        return s;
    }
    // Every pixel's raw value, rows packed.
    static std::vector<DWORD> Pixels(TarnSurface* s) {
        std::vector<DWORD> out;
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) out.push_back(RawPixel(s, x, y));
        return out;
    }
    // The glyphs' coverage of a drawing: white on black at 32 bits, whose blue channel is the
    // coverage exactly.
    template <typename DrawFn> std::vector<int> Coverage(int w, int h, DrawFn draw) {
        TarnSurface* s = Make(32, w, h);
        draw(s, RGB(255, 255, 255));
        std::vector<int> out;
        for (DWORD v : Pixels(s)) out.push_back(static_cast<int>(v & 0xFF));
        return out;
    }
};

TEST_F(TextTest, OpenRefusesWhatIsNotAUsableFontWithAMessage) {
    const Bytes sans = ReadAll(SANS);
    ASSERT_GT(sans.size(), 100000u);
    Bytes otto = sans;
    std::memcpy(otto.data(), "OTTO", 4);
    // The square font with its only map made a Macintosh one.
    Bytes noMap = BuildFont(SquareFont());
    for (size_t i = 12; i + 16 <= noMap.size(); i += 16)
        if (std::memcmp(&noMap[i], "cmap", 4) == 0) {
            const size_t at =
                static_cast<size_t>(noMap[i + 10]) << 8 | noMap[i + 11]; // the table's offset
            noMap[at + 4] = 0, noMap[at + 5] = 1, noMap[at + 6] = 0, noMap[at + 7] = 0;
            break;
        }
    const struct {
        const char* name;
        Bytes bytes;
        int size;
        int expected;
    } cases[] = {
        {"garbage", Bytes(400, 0x5A), 16, FONT_DAMAGED},
        {"empty", Bytes(), 16, FONT_DAMAGED},
        {"cut to its directory", Bytes(sans.begin(), sans.begin() + 200), 16, FONT_DAMAGED},
        {"cut in half", Bytes(sans.begin(), sans.begin() + sans.size() / 2), 16, FONT_DAMAGED},
        {"CFF outlines", otto, 16, FONT_UNSUPPORTED},
        {"no Unicode map", noMap, 16, FONT_UNSUPPORTED},
        {"size 5", sans, 5, FONT_BAD_ARGUMENT},
        {"size 257", sans, 257, FONT_BAD_ARGUMENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TarnFont font;
        const void* bytes = c.bytes.empty() ? static_cast<const void*>("") : c.bytes.data();
        EXPECT_EQ(font.OpenMemory(bytes, c.bytes.size(), c.size), c.expected);
        EXPECT_FALSE(font.IsOpen());
        EXPECT_STRNE(font.ErrorMessage(), "");
    }

    TarnFont font;
    EXPECT_EQ(font.Open("/nonexistent/font.ttf", 16), FONT_NOT_FOUND);
    EXPECT_NE(std::strstr(font.ErrorMessage(), "/nonexistent/font.ttf"), nullptr);
    EXPECT_EQ(font.Open(nullptr, 16), FONT_BAD_ARGUMENT);
    EXPECT_EQ(font.OpenDefault(16, 7), FONT_BAD_ARGUMENT);
    int w, h;
    EXPECT_EQ(font.Measure("x", &w, &h), FONT_NOT_OPEN);
    EXPECT_EQ(font.Draw(Make(32, 8, 8), 0, 0, 0, "x"), FONT_NOT_OPEN);
    EXPECT_EQ(font.SetSize(20), FONT_NOT_OPEN);

    // A failed open keeps the font that was open.
    ASSERT_EQ(font.Open(SANS, 16), 0);
    EXPECT_STREQ(font.ErrorMessage(), "");
    EXPECT_EQ(font.OpenMemory(otto.data(), otto.size(), 16), FONT_UNSUPPORTED);
    EXPECT_TRUE(font.IsOpen());
    EXPECT_EQ(font.Measure("x", &w, &h), 0);
    EXPECT_GT(w, 0);
}

TEST_F(TextTest, MetricsFollowTheSize) {
    // The square font's seed for the fuzzer (its metrics are the test fonts').
    TarnFont font;
    ASSERT_EQ(font.Open(TARN_TEST_DATA "/fonts/squares.ttf", 50), 0) << font.ErrorMessage();
    EXPECT_EQ(font.Ascent(), 40);
    EXPECT_EQ(font.Descent(), 10);
    EXPECT_EQ(font.LineHeight(), 50);
    ASSERT_EQ(font.SetSize(7), 0);
    EXPECT_EQ(font.Ascent(), 6); // 5.6 and 1.4 rounded up
    EXPECT_EQ(font.Descent(), 2);
    EXPECT_EQ(font.SetSize(300), FONT_BAD_ARGUMENT);
    EXPECT_EQ(font.Size(), 7);

    // DejaVu Sans: ascender 1901, descender -483 of 2048 units.
    for (int size : {TarnFont::MIN_SIZE, 16, 48, TarnFont::MAX_SIZE}) {
        SCOPED_TRACE(size);
        ASSERT_EQ(font.Open(SANS, size), 0);
        EXPECT_EQ(font.Ascent(), (1901 * size + 2047) / 2048);
        EXPECT_EQ(font.Descent(), (483 * size + 2047) / 2048);
        EXPECT_EQ(font.LineHeight(), font.Ascent() + font.Descent());
    }
}

// The square font at 100 pixels: glyph A covers columns 10 to 59 and the rows from the
// baseline (80) up 70, exactly, with nothing partly covered.
TEST_F(TextTest, OutlinesCompositesAndKerningLandOnExactPixels) {
    FontRecipe recipe = SquareFont();
    recipe.kerning = {{{1, 2}, -100}};
    const Bytes bytes = BuildFont(recipe);
    TarnFont font;
    ASSERT_EQ(font.OpenMemory(bytes.data(), bytes.size(), 100), 0);
    auto cover = [&](const char* text) {
        return Coverage(300, 100, [&](TarnSurface* s, COLORREF c) {
            EXPECT_EQ(font.Draw(s, 0, 0, c, text), 0);
        });
    };
    // Square spans [left, right) per 70-unit advances; each call's expected columns.
    const struct {
        const char* text;
        std::vector<std::pair<int, int>> squares;
        int width;
    } cases[] = {
        {"A", {{10, 60}}, 70},
        {"B", {{30, 80}}, 70}, // the composite's offset
        {"AA", {{10, 60}, {80, 130}}, 140},
        {"AB", {{10, 60}, {90, 140}}, 130}, // kerned 100 units closer
        {"BA", {{30, 80}, {80, 130}}, 140},
        {"C", {}, 70}, // holds itself: nothing drawn
        {"D", {}, 70}, // nests deeper than is followed
        {"E", {}, 70}, // a glyph that does not exist
        {"F", {}, 70}, // 2930 pixels right of its pen: not drawn
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::vector<int> got = cover(c.text);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 300; ++x) {
                bool inside = false;
                for (auto [l, r] : c.squares) inside |= x >= l && x < r && y >= 10 && y < 80;
                ASSERT_EQ(got[y * 300 + x], inside ? 255 : 0) << x << "," << y;
            }
        int w = 0, h = 0;
        EXPECT_EQ(font.Measure(c.text, &w, &h), 0);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, 100);
    }

    // The same font with its map in format 12 reaches characters past U+FFFF.
    recipe.fullMap = true;
    recipe.characters[0x1F600] = 1;
    const Bytes full = BuildFont(recipe);
    ASSERT_EQ(font.OpenMemory(full.data(), full.size(), 100), 0);
    EXPECT_EQ(cover("\xF0\x9F\x98\x80"), cover("A"));
}

TEST_F(TextTest, Utf8ReplacementsAndScriptsDraw) {
    TarnFont font;
    ASSERT_EQ(font.Open(SANS, 24), 0);
    auto cover = [&](const char* text) {
        return Coverage(120, 40, [&](TarnSurface* s, COLORREF c) {
            EXPECT_EQ(font.Draw(s, 2, 2, c, text), 0);
        });
    };
    const std::vector<int> blank(120 * 40, 0);
    const std::vector<int> fffd = cover("\xEF\xBF\xBD");
    const std::vector<int> missing = cover("\xEE\x80\x80"); // U+E000, which DejaVu lacks
    EXPECT_NE(fffd, blank);
    EXPECT_NE(missing, blank);
    EXPECT_NE(missing, fffd);
    EXPECT_EQ(cover("\xE4\xB8\x80"), missing); // U+4E00: the same replacement box
    for (const char* bad :
         {"\xFF", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"}) {
        SCOPED_TRACE(testing::PrintToString(bad));
        const std::string expected = [&] {
            std::string s;
            const char* p = bad;
            for (; *p; ++p) s += "\xEF\xBF\xBD"; // one U+FFFD per stray byte
            return s;
        }();
        EXPECT_EQ(cover(bad), cover(expected.c_str()));
    }
    // Greek and Cyrillic are in the font: neither blank nor the replacement box.
    for (const char* text : {"\xCE\xA9", "\xD0\x96"}) { // Omega, Zhe
        const std::vector<int> got = cover(text);
        EXPECT_NE(got, blank);
        EXPECT_NE(got, missing);
    }
    // Kerning from the font's table: "AV" is narrower than its letters apart.
    int av, a, v, h;
    font.Measure("AV", &av, &h), font.Measure("A", &a, &h), font.Measure("V", &v, &h);
    EXPECT_LT(av, a + v - 1);
}

TEST_F(TextTest, WrapsAtSpacesBreaksLongWordsAndAligns) {
    TarnFont font;
    ASSERT_EQ(font.OpenMemory(BuildFont(SquareFont()).data(), BuildFont(SquareFont()).size(), 10),
              0); // every letter 7 pixels, lines 10
    const struct {
        const char* text;
        int wrap;
        int width, height;
    } cases[] = {
        {"AA AA", 0, 35, 10},     {"AA AA", 35, 35, 10},
        {"AA AA", 34, 14, 20},    // wraps at the space, which is dropped
        {"AA    AA", 20, 14, 20}, // a run of spaces at the wrap dropped too
        {"AAAAA", 14, 14, 30},    // a long word broken where it overflows
        {"AAAAA", 3, 7, 50},      // a letter wider than the line still takes one
        {"A\nAAA\n", 0, 21, 30},  // new lines, the last one empty
        {"", 0, 0, 10},           {nullptr, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "null");
        int w = -1, h = -1;
        EXPECT_EQ(font.Measure(c.text, &w, &h, c.wrap), 0);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
    }
    int w;
    EXPECT_EQ(font.Measure("A", &w, nullptr), FONT_BAD_ARGUMENT);

    // Alignment: Draw on x as the left, centre or right; DrawBox within the box. Each case is
    // the same text drawn left-aligned where the aligned one should land.
    auto cover = [&](auto draw) {
        return Coverage(60, 40, [&](TarnSurface* s, COLORREF c) { draw(s, c); });
    };
    const RECT box = {5, 3, 45, 40};
    const struct {
        const char* name;
        DWORD flags;
        bool inBox;
        int x;       // where the widest line starts, left-aligned
        int secondX; // where "A" on the next line starts
    } aligned[] = {
        {"left", 0, false, 30, 30},
        {"centre", TARN_TEXT_CENTRE, false, 23, 27},
        {"right", TARN_TEXT_RIGHT, false, 16, 23},
        {"box left", 0, true, 5, 5},
        {"box centre", TARN_TEXT_CENTRE, true, 18, 21},
        {"box right", TARN_TEXT_RIGHT, true, 31, 38},
    };
    for (const auto& a : aligned) {
        SCOPED_TRACE(a.name);
        const auto got = cover([&](TarnSurface* s, COLORREF c) {
            if (a.inBox)
                EXPECT_EQ(font.DrawBox(s, &box, c, "AA\nA", a.flags), 0);
            else
                EXPECT_EQ(font.Draw(s, 30, 3, c, "AA\nA", a.flags), 0);
        });
        const auto expected = cover([&](TarnSurface* s, COLORREF c) {
            font.Draw(s, a.x, 3, c, "AA");
            font.Draw(s, a.secondX, 13, c, "A");
        });
        EXPECT_EQ(got, expected);
    }
}

// Each depth against a model made from the coverage: every pixel (channel by channel at the
// surface's precision) is the background mixed with the colour by coverage times opacity;
// at 8 bits the palette entry nearest that mix, the full colour's nearest where fully covered.
TEST_F(TextTest, BlendsByCoverageAtEveryDepth) {
    TarnFont font;
    ASSERT_EQ(font.Open(SANS, 20), 0);
    const char* text = "Tarn \xCE\xB1\xCE\xB2 \xD0\xB6 gy";
    const int w = 140, h = 30;
    const std::vector<int> coverage = Coverage(
        w, h, [&](TarnSurface* s, COLORREF c) { EXPECT_EQ(font.Draw(s, 3, 2, c, text), 0); });
    ASSERT_NE(coverage, std::vector<int>(w * h, 0));
    const COLORREF colour = RGB(250, 120, 30);
    const BYTE bg[3] = {20, 200, 90};
    PALETTEENTRY palette[256];
    FillDefaultPalette(palette);
    for (int opacity : {255, 128}) {
        for (int depth : {8, 15, 16, 24, 32}) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << " opacity " << opacity);
            TarnSurface* probe = Make(depth, 1, 1);
            TarnSurface* s = Make(depth, w, h, probe->MapRGB(bg[0], bg[1], bg[2]));
            font.SetOpacity(opacity);
            ASSERT_EQ(font.Draw(s, 3, 2, colour, text), 0);
            const std::vector<DWORD> got = Pixels(s);
            const PixelLayout& l = s->pixelLayout;
            const DWORD background = s->MapRGB(bg[0], bg[1], bg[2]);
            for (int i = 0; i < w * h; ++i) {
                const int a = (coverage[i] * opacity + 127) / 255;
                DWORD expected = background;
                if (depth == 8) {
                    const int level = (a * 16 + 127) / 255;
                    auto mix = [level](int from, int to) {
                        return from + ((to - from) * level + (to > from ? 8 : -8)) / 16;
                    };
                    const PALETTEENTRY& e = palette[background];
                    if (level == 16)
                        expected =
                            s->MapRGB(GetRValue(colour), GetGValue(colour), GetBValue(colour));
                    else if (level > 0)
                        expected = s->MapRGB(mix(e.peRed, GetRValue(colour)),
                                             mix(e.peGreen, GetGValue(colour)),
                                             mix(e.peBlue, GetBValue(colour)));
                } else if (a > 0) {
                    expected = 0;
                    const int from[3] = {bg[0], bg[1], bg[2]};
                    const int to[3] = {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
                    const int max[3] = {l.redMax, l.greenMax, l.blueMax};
                    const int shift[3] = {l.redShift, l.greenShift, l.blueShift};
                    for (int ch = 0; ch < 3; ++ch) {
                        const int d = (from[ch] * (max[ch] + 1)) >> 8;
                        const int c = (to[ch] * (max[ch] + 1)) >> 8;
                        const int v = a == 255 ? c : d + (((c - d) * a * 257 + 32768) >> 16);
                        expected |= static_cast<DWORD>(v) << shift[ch];
                    }
                }
                ASSERT_EQ(got[i], expected) << "pixel " << i % w << "," << i / w;
            }
        }
    }
}

// A typed colour's alpha weighs the text as the opacity does, and the two multiply.
TEST_F(TextTest, ATypedColoursAlphaIsAnOpacity) {
    TarnFont font;
    ASSERT_EQ(font.Open(SANS, 20), 0);
    auto draw = [&](auto colour, int opacity, bool box) {
        TarnSurface* s = Make(16, 100, 30, 0x1234);
        font.SetOpacity(opacity);
        const RECT area = {2, 2, 100, 30};
        EXPECT_EQ(box ? font.DrawBox(s, &area, colour, "Tarn \xCE\xA9")
                      : font.Draw(s, 2, 2, colour, "Tarn \xCE\xA9"),
                  0);
        return Pixels(s);
    };
    for (bool box : {false, true}) {
        EXPECT_EQ(draw(TarnColour(250, 120, 30, 128), 255, box), draw(RGB(250, 120, 30), 128, box));
        EXPECT_EQ(draw(TarnColour(250, 120, 30), 255, box), draw(RGB(250, 120, 30), 255, box));
        EXPECT_EQ(draw(TarnColour(250, 120, 30, 0), 255, box), draw(RGB(250, 120, 30), 0, box));
        EXPECT_EQ(draw(TarnColour(250, 120, 30, 255), 0, box), draw(RGB(250, 120, 30), 0, box));
    }
    EXPECT_NE(draw(TarnColour(250, 120, 30, 128), 255, false), draw(RGB(250, 120, 30), 255, false));
}

TEST_F(TextTest, ClipsToTheClipAreaAndTheBox) {
    TarnFont font;
    ASSERT_EQ(font.Open(SANS, 20), 0);
    const char* text = "Wide text\nover two";
    const int w = 200, h = 90;
    const std::vector<int> whole =
        Coverage(w, h, [&](TarnSurface* s, COLORREF c) { font.Draw(s, -7, -5, c, text); });
    const RECT area = {20, 10, 150, 60};
    const std::vector<int> clipped = Coverage(w, h, [&](TarnSurface* s, COLORREF c) {
        s->SetClipArea(&area);
        EXPECT_EQ(font.Draw(s, -7, -5, c, text), 0);
    });
    const RECT box = {-7, -5, 120, 50};
    const std::vector<int> boxed = Coverage(w, h, [&](TarnSurface* s, COLORREF c) {
        s->SetClipArea(&area);
        EXPECT_EQ(font.DrawBox(s, &box, c, text), 0);
    });
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inArea = x >= 20 && x < 150 && y >= 10 && y < 60;
            const bool inBox = inArea && x < 120 && y < 50;
            ASSERT_EQ(clipped[y * w + x], inArea ? whole[y * w + x] : 0) << x << "," << y;
            ASSERT_EQ(boxed[y * w + x], inBox ? whole[y * w + x] : 0) << x << "," << y;
        }
    // Drawn wholly outside, or into an empty box: nothing, and no failure.
    TarnSurface* s = Make(32, 16, 16);
    const RECT empty = {5, 5, 5, 9};
    EXPECT_EQ(font.Draw(s, 500, -500, 0xFFFFFF, text), 0);
    EXPECT_EQ(font.DrawBox(s, &empty, 0xFFFFFF, text), 0);
    EXPECT_EQ(Pixels(s), std::vector<DWORD>(16 * 16, 0));
    EXPECT_EQ(font.DrawBox(s, nullptr, 0xFFFFFF, text), FONT_BAD_ARGUMENT);
    EXPECT_EQ(font.Draw(nullptr, 0, 0, 0xFFFFFF, text), FONT_BAD_ARGUMENT);
    EXPECT_EQ(font.Draw(s, 0, 0, 0xFFFFFF, nullptr), 0);
}

TEST_F(TextTest, ShadowAndOutlineSurroundTheText) {
    TarnFont font;
    ASSERT_EQ(font.Open(SANS, 24), 0);
    const COLORREF ink = RGB(255, 255, 255), shade = RGB(0, 0, 255), rim = RGB(0, 255, 0);
    font.SetShadow(shade, 3);
    font.SetOutline(rim, 2);
    auto draw = [&](auto fn) {
        TarnSurface* s = Make(32, 90, 40);
        fn(s);
        return Pixels(s);
    };
    // The shadow is the text in its colour, offset, beneath the text.
    EXPECT_EQ(draw([&](TarnSurface* s) { font.Draw(s, 4, 4, ink, "Ag", TARN_TEXT_SHADOW); }),
              draw([&](TarnSurface* s) {
                  font.Draw(s, 7, 7, shade, "Ag");
                  font.Draw(s, 4, 4, ink, "Ag");
              }));
    // The outline covers every pixel within its width of the text's full coverage, and the
    // text stays on top.
    const std::vector<DWORD> outlined =
        draw([&](TarnSurface* s) { font.Draw(s, 4, 4, ink, "Ag", TARN_TEXT_OUTLINE); });
    const std::vector<DWORD> plain = draw([&](TarnSurface* s) { font.Draw(s, 4, 4, ink, "Ag"); });
    int rimPixels = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 90; ++x) {
            if (plain[y * 90 + x] != 0x00FFFFFF) continue;
            EXPECT_EQ(outlined[y * 90 + x], 0x00FFFFFFu);
            for (auto [dx, dy] : {std::pair{2, 0}, {-2, 0}, {0, 2}, {0, -2}, {1, 1}, {-1, -1}}) {
                const DWORD near = outlined[(y + dy) * 90 + x + dx];
                EXPECT_NE(near, 0u) << x + dx << "," << y + dy;
                rimPixels += near == 0x0000FF00;
            }
        }
    EXPECT_GT(rimPixels, 0);
}

TEST_F(TextTest, DefaultFacesAndSizes) {
    const struct {
        int face;
        int size;
    } cases[] = {{TARN_FONT_SANS, 8}, {TARN_FONT_BOLD, 16}, {TARN_FONT_MONO, 96}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.face);
        TarnFont font;
        ASSERT_EQ(font.OpenDefault(c.size, c.face), 0) << font.ErrorMessage();
        EXPECT_EQ(font.Size(), c.size);
        int thin, wide, h;
        font.Measure("iiii", &thin, &h), font.Measure("WWWW", &wide, &h);
        EXPECT_EQ(thin == wide, c.face == TARN_FONT_MONO);
    }
    TarnFont sans, bold;
    ASSERT_EQ(sans.OpenDefault(20), 0);
    ASSERT_EQ(bold.OpenDefault(20, TARN_FONT_BOLD), 0);
    int sansWidth, boldWidth, h;
    sans.Measure("Heavy", &sansWidth, &h), bold.Measure("Heavy", &boldWidth, &h);
    EXPECT_GT(boldWidth, sansWidth);
}

// Once a frame's text has been drawn, drawing and measuring it again allocates nothing, at
// every depth and with every effect.
TEST_F(TextTest, AFrameOfTextAllocatesNothingOnceDrawn) {
    TarnFont font;
    ASSERT_EQ(font.Open(SANS, 16), 0);
    const char* score = "Score 12345  \xCE\xB1\xCE\xB2\xCE\xB3 \xD0\xB4\xD0\xB5";
    const RECT box = {0, 20, 120, 100};
    for (int depth : {8, 16, 32}) {
        SCOPED_TRACE(depth);
        TarnSurface* s = Make(depth, 160, 100);
        auto frame = [&] {
            int w, h;
            font.Draw(s, 2, 2, RGB(255, 255, 0), score, TARN_TEXT_SHADOW | TARN_TEXT_OUTLINE);
            font.DrawBox(s, &box, RGB(200, 200, 200), "a wrapped block of text in a box",
                         TARN_TEXT_CENTRE);
            font.Measure(score, &w, &h, 80);
        };
        frame();
        const long before = AllocationCount();
        frame();
        EXPECT_EQ(AllocationCount() - before, 0);
    }
}

// Cut and corrupted copies of a real font open or are refused, and whatever opens draws every
// character of several scripts without reading outside its bytes (the sanitizer build checks).
TEST_F(TextTest, DamagedFontsNeverCrash) {
    const Bytes sans = ReadAll(SANS);
    const Bytes square = BuildFont(SquareFont());
    TarnSurface* s = Make(32, 200, 60);
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    int opened = 0;
    for (int round = 0; round < 120; ++round) {
        Bytes bytes = round % 2 ? sans : square;
        if (round % 3 == 0) bytes.resize(next() % bytes.size());
        for (int i = 0, n = 1 + round % 40; i < n && !bytes.empty(); ++i)
            bytes[next() % bytes.size()] = static_cast<unsigned char>(next());
        TarnFont font;
        const int result = font.OpenMemory(bytes.data(), bytes.size(), 20);
        if (result != 0) {
            EXPECT_LT(result, 0);
            continue;
        }
        ++opened;
        EXPECT_EQ(font.Draw(s, 0, 0, 0xFFFFFF, "ABCDE AVWA fijg \xCE\xA9\xD0\x96 0123"), 0);
    }
    EXPECT_GT(opened, 0);
}

} // namespace
