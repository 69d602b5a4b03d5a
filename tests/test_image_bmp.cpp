// The BMP decoder: every depth and header the decoder reads, run-length codes, hostile headers
// and codes, truncation, and the public BMP Suite against its reference decodes. Pictures are
// decoded through the front end into 32-bit surfaces of the headless host and read back.
#include "image/TarnImage.h"
#include "image/TarnImageBMP.h"
#include "support/ImageFixtures.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using fixtures::BmpFile;
using fixtures::Bytes;
using fixtures::PackBmpRows;

namespace {

const std::vector<uint32_t> PALETTE = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                                       0x00FFFF, 0xFF00FF, 0x808080, 0x102030, 0x405060, 0x708090,
                                       0xA0B0C0, 0xD0E0F0, 0x123456, 0x654321};

// A deterministic pattern of `count` values below `limit`.
std::vector<uint32_t> Pattern(int count, uint32_t limit, uint32_t seed) {
    std::vector<uint32_t> out(count);
    uint32_t v = seed;
    for (auto& p : out) {
        v = v * 1103515245u + 12345u;
        p = (v >> 8) % limit;
    }
    return out;
}

std::vector<uint32_t> Lookup(const std::vector<uint32_t>& indices,
                             const std::vector<uint32_t>& colours) {
    std::vector<uint32_t> out;
    for (uint32_t i : indices) out.push_back(i < colours.size() ? colours[i] : 0);
    return out;
}

class BmpTest : public ImageTest {};

struct DepthCase {
    const char* name;
    int width, height, bits;
    uint32_t headerSize;
    bool topDown;
    uint32_t clrUsed;
};

// Palettised and true-colour pictures in every depth, odd widths (101 pixels at 24 bits pads
// each row to 304 bytes, 33 pixels at 1 bit to 8 bytes), both row orders and every header size.
TEST_F(BmpTest, DecodesEveryDepthAndHeader) {
    const DepthCase cases[] = {
        {"1-bit 33 wide, 2 colours at offset 54", 33, 5, 1, 40, false, 0},
        {"4-bit", 13, 4, 4, 40, false, 0},
        {"8-bit, 16 colours in use", 17, 3, 8, 40, false, 16},
        {"8-bit top-down", 9, 4, 8, 40, true, 16},
        {"8-bit OS/2 header", 9, 4, 8, 12, false, 0},
        {"8-bit 108-byte header", 9, 4, 8, 108, false, 16},
        {"8-bit 124-byte header", 9, 4, 8, 124, false, 16},
        {"24-bit 101 wide", 101, 3, 24, 40, false, 0},
        {"24-bit top-down", 7, 5, 24, 40, true, 0},
        {"32-bit", 6, 4, 32, 40, false, 0},
        {"32-bit 124-byte header", 6, 4, 32, 124, false, 0},
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int count = c.width * c.height;
        BmpFile file;
        file.width = c.width;
        file.height = c.topDown ? -c.height : c.height;
        file.bits = c.bits;
        file.headerSize = c.headerSize;
        file.clrUsed = c.clrUsed;
        std::vector<uint32_t> values, expected;
        if (c.bits <= 8) {
            const uint32_t colours = c.clrUsed ? c.clrUsed : (1u << c.bits);
            file.colours.assign(PALETTE.begin(), PALETTE.begin() + std::min<size_t>(16, colours));
            while (file.colours.size() < colours)
                file.colours.push_back(file.colours.size() * 0x010101);
            values = Pattern(count, static_cast<uint32_t>(file.colours.size()), c.bits);
            expected = Lookup(values, file.colours);
        } else {
            values = Pattern(count, 0x1000000, c.bits);
            expected = values;
        }
        file.pixels = PackBmpRows(c.width, c.height, c.bits, values, c.topDown);
        EXPECT_TRUE(SamePicture(Load(file.Build()), ExpectedPicture(c.width, c.height, expected), 0,
                                "bmp_depth"));
    }
}

// 16-bit pixels: plain files are 5-5-5; bit-field files may use any masks. Channels narrower
// than 8 bits are widened by repeating their top bits; the plain 5-5-5 path goes through GDI,
// whose low bits may differ (tolerance 7).
TEST_F(BmpTest, DecodesSixteenBitAndBitFieldPictures) {
    struct Case {
        const char* name;
        int bits;
        uint32_t compression;
        uint32_t headerSize;
        std::vector<uint32_t> masks;
        int tolerance;
    };
    const Case cases[] = {
        {"16-bit 5-5-5", 16, 0, 40, {}, 7},
        {"16-bit bit fields 5-6-5", 16, 3, 40, {0xF800, 0x07E0, 0x001F}, 0},
        {"16-bit bit fields 5-6-5 in a 124-byte header", 16, 3, 124, {0xF800, 0x07E0, 0x001F}, 0},
        {"32-bit bit fields, channels in odd places",
         32,
         3,
         40,
         {0xFF000000, 0x00000FF0, 0x00FF0000},
         0},
        {"32-bit bit fields 10-10-10", 32, 3, 108, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0},
    };
    auto widen = [](uint32_t v, int bits) {
        uint32_t out = 0;
        int filled = 0;
        for (; filled < 8; filled += bits) out = (out << bits) | v;
        return (out >> (filled - 8)) & 0xFF;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = 5, h = 3;
        const std::vector<uint32_t> raw = Pattern(w * h, c.bits == 16 ? 0x10000u : 0xFFFFFFFFu, 77);
        std::vector<uint32_t> masks =
            c.masks.empty() ? std::vector<uint32_t>{0x7C00, 0x03E0, 0x001F} : c.masks;
        std::vector<uint32_t> expected;
        for (uint32_t p : raw) {
            uint32_t rgb = 0;
            for (uint32_t m : masks) {
                int shift = 0, bits = 0;
                while (!((m >> shift) & 1)) ++shift;
                while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
                uint32_t v = (p & m) >> shift;
                rgb = (rgb << 8) | (bits >= 8 ? (v >> (bits - 8)) : widen(v, bits));
            }
            expected.push_back(rgb);
        }
        BmpFile file;
        file.width = w;
        file.height = h;
        file.bits = c.bits;
        file.compression = c.compression;
        file.headerSize = c.headerSize;
        file.masks = c.masks;
        Bytes rows;
        const size_t stride = ((w * c.bits + 31) / 32) * 4;
        rows.assign(stride * h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int b = 0; b < c.bits / 8; ++b)
                    rows[stride * (h - 1 - y) + x * (c.bits / 8) + b] =
                        static_cast<unsigned char>(raw[y * w + x] >> (8 * b));
        file.pixels = rows;
        EXPECT_TRUE(SamePicture(Load(file.Build()), ExpectedPicture(w, h, expected), c.tolerance,
                                "bmp_bitfields"));
    }
}

// Run-length codes, 8 and 4 bits per code. Pixels no code writes keep colour index 0.
TEST_F(BmpTest, ExpandsRunLengthCodes) {
    struct Case {
        const char* name;
        int bits;
        Bytes codes;
        std::vector<uint32_t> indices; // top row first, 4 x 3
    };
    const Case cases[] = {
        {"rows closed by end of line; the last one ends the picture",
         8,
         {4, 1, 0, 0, 2, 2, 2, 3, 0, 0, 0, 4, 5, 6, 7, 8, 0, 0},
         {5, 6, 7, 8, 2, 2, 3, 3, 1, 1, 1, 1}},
        {"end of bitmap early: the rest stays index 0",
         8,
         {4, 9, 0, 1},
         {0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9, 9}},
        {"delta (0, 2, 3, 1) skips three pixels and one row",
         8,
         {0, 2, 3, 1, 1, 5, 0, 0, 4, 6, 0, 1},
         {6, 6, 6, 6, 0, 0, 0, 5, 0, 0, 0, 0}},
        {"odd absolute run is padded to a whole word",
         8,
         {0, 3, 7, 8, 9, 0, 1, 10, 0, 1},
         {0, 0, 0, 0, 0, 0, 0, 0, 7, 8, 9, 10}},
        {"4-bit runs alternate the two nibbles",
         4,
         {4, 0x12, 0, 0, 3, 0x34, 0, 0, 0, 4, 0x56, 0x78, 0, 1},
         {5, 6, 7, 8, 3, 4, 3, 0, 1, 2, 1, 2}},
        {"4-bit odd absolute run",
         4,
         {0, 3, 0x9A, 0xB0, 0, 1},
         {0, 0, 0, 0, 0, 0, 0, 0, 9, 10, 11, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFile file;
        file.width = 4;
        file.height = 3;
        file.bits = c.bits;
        file.compression = c.bits == 8 ? 1 : 2;
        file.colours = PALETTE;
        file.clrUsed = 16;
        file.pixels = c.codes;
        EXPECT_TRUE(SamePicture(Load(file.Build()),
                                ExpectedPicture(4, 3, Lookup(c.indices, PALETTE)), 0, "bmp_rle"));
    }
}

// Codes that reach past a row's end or past the picture are cut there: nothing wraps into the
// next row and nothing is written outside the buffer.
TEST_F(BmpTest, RunLengthCodesStayInsideThePicture) {
    struct Case {
        const char* name;
        Bytes codes;
        std::vector<uint32_t> indices; // top row first, 3 x 2
    };
    const Case cases[] = {
        {"run of 255 on a 3-pixel row", {255, 2, 0, 0, 1, 3, 0, 1}, {3, 0, 0, 2, 2, 2}},
        {"absolute run longer than the row",
         {0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 0, 1},
         {0, 0, 0, 1, 2, 3}},
        {"delta far to the right, then a run",
         {0, 2, 200, 0, 2, 4, 0, 0, 1, 5, 0, 0},
         {5, 0, 0, 0, 0, 0}},
        {"delta far below the picture ends it", {2, 6, 0, 2, 0, 250, 9, 9}, {0, 0, 0, 6, 6, 0}},
        {"many end-of-line codes past the last row",
         {1, 1, 0, 0, 1, 2, 0, 0, 0, 0, 0, 0},
         {2, 0, 0, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFile file;
        file.width = 3;
        file.height = 2;
        file.bits = 8;
        file.compression = 1;
        file.colours = PALETTE;
        file.clrUsed = 16;
        file.pixels = c.codes;
        EXPECT_TRUE(SamePicture(Load(file.Build()),
                                ExpectedPicture(3, 2, Lookup(c.indices, PALETTE)), 0,
                                "bmp_rle_hostile"));
    }
}

// Headers that can't describe a picture we decode give null, and huge ones are refused before
// anything is allocated.
TEST_F(BmpTest, RefusesMalformedHeaders) {
    BmpFile good;
    good.width = 4;
    good.height = 2;
    good.bits = 24;
    good.pixels = Bytes(24, 0x55);
    struct Case {
        const char* name;
        void (*change)(BmpFile&);
    };
    const Case cases[] = {
        {"width 0", [](BmpFile& f) { f.width = 0; }},
        {"negative width", [](BmpFile& f) { f.width = -4; }},
        {"height 0", [](BmpFile& f) { f.height = 0; }},
        {"bit count 30000", [](BmpFile& f) { f.bits = 30000; }},
        {"bit count 2", [](BmpFile& f) { f.bits = 2; }},
        {"JPEG compression", [](BmpFile& f) { f.compression = 4; }},
        {"PNG compression", [](BmpFile& f) { f.compression = 5; }},
        {"8-bit run-length declared on 24 bits", [](BmpFile& f) { f.compression = 1; }},
        {"run-length top-down",
         [](BmpFile& f) {
             f.bits = 8;
             f.compression = 1;
             f.height = -2;
             f.pixels = {0, 1};
         }},
        {"bit fields on 24 bits",
         [](BmpFile& f) {
             f.compression = 3;
             f.masks = {0xFF0000, 0xFF00, 0xFF};
         }},
        {"bit fields with a broken mask",
         [](BmpFile& f) {
             f.bits = 32;
             f.compression = 3;
             f.masks = {0xF0F00000, 0xFF00, 0xFF};
             f.pixels = Bytes(32, 1);
         }},
        {"header size 66", [](BmpFile& f) { f.headerSize = 66; }},
        {"65535 x 65535",
         [](BmpFile& f) {
             f.width = 65535;
             f.height = 65535;
         }},
        {"3000000 x 2000000",
         [](BmpFile& f) {
             f.width = 3000000;
             f.height = 2000000;
         }},
        {"32768 x 32768 x 24: over the byte limit",
         [](BmpFile& f) {
             f.width = 32768;
             f.height = 32768;
         }},
        {"rows missing", [](BmpFile& f) { f.pixels.resize(12); }},
    };
    ASSERT_TRUE(Load(good.Build()).ok);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFile file = good;
        c.change(file);
        EXPECT_FALSE(Load(file.Build()).ok);
    }
}

TEST_F(BmpTest, PixelOffsetPastTheEndIsRefused) {
    BmpFile file;
    file.width = 2;
    file.height = 2;
    file.pixels = Bytes(16, 0x20);
    Bytes data = file.Build();
    data[10] = 0xF0; // bfOffBits far beyond the data
    data[11] = 0xFF;
    EXPECT_FALSE(Load(data).ok);
}

// A colour count larger than the bit count can address is capped: the picture still decodes.
TEST_F(BmpTest, CapsAnOversizedColourCount) {
    BmpFile file;
    file.width = 4;
    file.height = 1;
    file.bits = 4;
    file.clrUsed = 305402420;
    file.colours = PALETTE;
    const std::vector<uint32_t> indices = {1, 2, 3, 15};
    file.pixels = PackBmpRows(4, 1, 4, indices);
    EXPECT_TRUE(SamePicture(Load(file.Build()), ExpectedPicture(4, 1, Lookup(indices, PALETTE)), 0,
                            "bmp_clrused"));
}

// Cut off at every length, a file gives null or a picture, never a crash or a read outside.
TEST_F(BmpTest, TruncationAtEveryLengthIsHarmless) {
    BmpFile plain;
    plain.width = 5;
    plain.height = 3;
    plain.bits = 8;
    plain.colours = PALETTE;
    plain.clrUsed = 16;
    plain.pixels = PackBmpRows(5, 3, 8, Pattern(15, 16, 3));
    BmpFile rle = plain;
    rle.compression = 1;
    rle.pixels = {2, 1, 0, 3, 1, 2, 3, 0, 0, 0, 2, 4, 2, 0, 0, 0, 5, 7, 0, 1};
    BmpFile fields;
    fields.width = 3;
    fields.height = 2;
    fields.bits = 16;
    fields.compression = 3;
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.pixels = Bytes(16, 0x5A);
    BmpFile core = plain;
    core.headerSize = 12;
    for (const BmpFile* file : {&plain, &rle, &fields, &core}) {
        const Bytes whole = file->Build();
        ASSERT_TRUE(Load(whole, IMAGE_BMP).ok);
        for (size_t n = 0; n < whole.size(); ++n) {
            Bytes cut(whole.begin(), whole.begin() + n); // exactly n bytes, no slack
            Decoded d = Load(cut, IMAGE_BMP);
            if (d.ok) {
                EXPECT_EQ(d.width, file->width);
            }
        }
    }
    // Uncompressed rows cut short are refused: the picture would be incomplete.
    const Bytes whole = plain.Build();
    EXPECT_FALSE(Load(Bytes(whole.begin(), whole.end() - 6), IMAGE_BMP).ok);
}

// Plain rows are drawn from where they stand in the file when every row is there with its
// padding, and from a copy when the last row lacks its padding (as many writers leave it): both
// give the same picture, and trailing bytes after the rows change nothing.
TEST_F(BmpTest, PlainRowsDecodeWithOrWithoutTheLastRowsPadding) {
    BmpFile file;
    file.width = 5; // 8-bit rows of 5 bytes, padded to 8
    file.height = 3;
    file.bits = 8;
    file.colours = PALETTE;
    file.clrUsed = 16;
    const std::vector<uint32_t> indices = Pattern(15, 16, 7);
    file.pixels = PackBmpRows(5, 3, 8, indices);
    const Decoded expected = ExpectedPicture(5, 3, Lookup(indices, PALETTE));
    const Bytes whole = file.Build();
    EXPECT_TRUE(SamePicture(Load(whole, IMAGE_BMP), expected, 0, "bmp_rows_whole"));
    for (size_t missing = 1; missing <= 3; ++missing) {
        SCOPED_TRACE(missing);
        EXPECT_TRUE(SamePicture(Load(Bytes(whole.begin(), whole.end() - missing), IMAGE_BMP),
                                expected, 0, "bmp_rows_short_padding"));
    }
    Bytes longer = whole;
    longer.insert(longer.end(), 37, 0xEE);
    EXPECT_TRUE(SamePicture(Load(longer, IMAGE_BMP), expected, 0, "bmp_rows_trailing"));
}

// ---- The public BMP Suite ----

std::string Suite(const char* folder) {
    return std::string(TARN_TEST_DATA) + "/bmpsuite/" + folder;
}

std::vector<std::string> Files(const std::string& folder, const char* extension) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == extension) out.push_back(entry.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Every good file decodes exactly as the independent reader does. Plain 16-bit files go through
// GDI's 5-5-5 conversion, whose low bits may differ from the reader's widening.
TEST_F(BmpTest, GoodSuiteFilesMatchTheirReferenceDecodes) {
    const auto files = Files(Suite("g"), ".bmp");
    ASSERT_GE(files.size(), 27u);
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const std::string name = std::filesystem::path(path).stem().string();
        const Decoded expected = ReadPpm(path.substr(0, path.size() - 4) + ".ppm");
        ASSERT_TRUE(expected.ok);
        const int tolerance = name == "rgb16" ? 7 : 0;
        EXPECT_TRUE(SamePicture(LoadFile(path), expected, tolerance, "bmpsuite_" + name));
    }
}

// Bad and questionable files are refused or decoded harmlessly: never a crash, never a read or
// write outside (the sanitizer build checks), and a decoded one has the size its header says.
TEST_F(BmpTest, BadAndQuestionableSuiteFilesAreHarmless) {
    for (const char* folder : {"b", "q"}) {
        for (const std::string& path : Files(Suite(folder), ".bmp")) {
            SCOPED_TRACE(path);
            Bytes data;
            ASSERT_TRUE(ReadWholeFile(path, &data));
            TarnImageBMP decoder;
            const bool parsed = decoder.DecodeBitmap(static_cast<int>(data.size()), data.data());
            const Decoded d = Load(data);
            EXPECT_EQ(d.ok, parsed);
            if (d.ok) {
                EXPECT_EQ(d.width, decoder.width);
                EXPECT_EQ(d.height, decoder.height);
            }
        }
    }
    // The files that can't be pictures at all.
    for (const char* name : {"badbitcount", "badplanes", "badwidth", "reallybig", "shortfile",
                             "rletopdown", "badheadersize"})
        EXPECT_FALSE(LoadFile(Suite("b") + "/" + name + ".bmp").ok) << name;
}

// The questionable files we read on purpose (OS/2 variants, odd offsets, larger headers, the
// "transparent" run-length files whose skipped pixels come out as colour 0) match too.
TEST_F(BmpTest, QuestionableFilesWeReadMatchTheirReferences) {
    for (const char* name : {"pal4rletrns", "pal8rletrns", "pal8os2v2-16", "pal8offs", "pal8os2sp",
                             "rgb32h52", "rgba32h56", "rgb24largepal"}) {
        SCOPED_TRACE(name);
        const std::string base = Suite("q") + "/" + name;
        const Decoded expected = ReadPpm(base + ".ppm");
        ASSERT_TRUE(expected.ok);
        EXPECT_TRUE(SamePicture(LoadFile(base + ".bmp"), expected, 0, name));
    }
}

} // namespace
