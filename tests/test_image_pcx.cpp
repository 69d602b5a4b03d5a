// The PCX decoder: line expansion, the two layouts it reads (256 colours with the palette at
// the end, three planes of true colour), scan lines as one stream of planes, widths and
// padding, the palette marker, refusals and truncation.
#include "image/TarnImage.h"
#include "image/TarnImagePCX.h"
#include "support/ImageFixtures.h"

#include <memory>
#include <vector>

using fixtures::Bytes;
using fixtures::EncodePcxLine;
using fixtures::PcxFile;

namespace {

TEST(PcxLineTest, ExpandsRunsAndLiterals) {
    struct Case {
        const char* name;
        Bytes codes;
        int count;
        int result;
        Bytes stored;
    };
    const Case cases[] = {
        {"0xC3 0x07 writes three 0x07", {0xC3, 0x07}, 3, 3, {7, 7, 7}},
        {"0xC0 writes nothing", {0xC0, 0x55, 0x01}, 1, 1, {1}},
        {"0xBF is a literal", {0xBF}, 1, 1, {0xBF}},
        {"0xC1 0xC5 writes 0xC5 once", {0xC1, 0xC5}, 1, 1, {0xC5}},
        {"a run past the line's end is counted, not stored", {0x01, 0xC5, 0x09}, 3, 6, {1, 9, 9}},
        {"data ending early stops the line", {0x01, 0xC2}, 3, 1, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<unsigned char[]> codes(new unsigned char[c.codes.size()]);
        std::copy(c.codes.begin(), c.codes.end(), codes.get());
        std::unique_ptr<BYTE[]> line(new BYTE[c.count]()); // exactly the line, no slack
        TarnByteReader reader(codes.get(), c.codes.size());
        EXPECT_EQ(TarnImagePCX::DecodeLine(line.get(), reader, c.count), c.result);
        EXPECT_EQ(Bytes(line.get(), line.get() + c.count), c.stored);
    }
}

std::vector<uint32_t> Palette() {
    std::vector<uint32_t> p(256);
    for (int i = 0; i < 256; ++i) p[i] = static_cast<uint32_t>(i) << 16 | (255u - i) << 8 | 7u;
    return p;
}

// A 256-colour picture of `width` x `height` whose rows are given top first, each padded to
// bytesPerLine with 0xEE.
PcxFile Indexed(int width, int bytesPerLine, const std::vector<Bytes>& rows) {
    PcxFile f;
    f.xmax = width - 1;
    f.ymax = static_cast<int>(rows.size()) - 1;
    f.bytesPerLine = bytesPerLine;
    for (Bytes row : rows) {
        row.resize(bytesPerLine, 0xEE);
        Bytes codes = EncodePcxLine(row);
        f.encoded.insert(f.encoded.end(), codes.begin(), codes.end());
    }
    f.palette = Palette();
    return f;
}

// A true-colour picture: each row is three plane lines, red first.
PcxFile TrueColour(int width, const std::vector<std::vector<uint32_t>>& rows) {
    PcxFile f;
    f.planes = 3;
    f.xmax = width - 1;
    f.ymax = static_cast<int>(rows.size()) - 1;
    f.bytesPerLine = width + (width & 1);
    for (const auto& row : rows)
        for (int shift : {16, 8, 0}) {
            Bytes line(f.bytesPerLine, 0);
            for (int x = 0; x < width; ++x) line[x] = static_cast<unsigned char>(row[x] >> shift);
            Bytes codes = EncodePcxLine(line);
            f.encoded.insert(f.encoded.end(), codes.begin(), codes.end());
        }
    return f;
}

class PcxTest : public ImageTest {};

TEST_F(PcxTest, DecodesBothLayouts) {
    const std::vector<uint32_t> pal = Palette();
    PcxFile offset = Indexed(3, 4, {{1, 2, 3}});
    offset.xmin = 10;
    offset.xmax = 12;
    offset.ymin = -5;
    offset.ymax = -5;
    PcxFile noMarker = Indexed(2, 2, {{1, 2}});
    noMarker.marker = 11;
    PcxFile noPalette = Indexed(2, 2, {{1, 2}});
    noPalette.palette.clear();
    // Runs crossing from red into green and from green into blue: the scan line 5 5 | 5 9 | 9 9.
    PcxFile acrossPlanes = TrueColour(2, {{0, 0}});
    acrossPlanes.encoded = {0xC3, 5, 0xC3, 9};
    const struct {
        const char* name;
        PcxFile file;
        Decoded expected;
    } cases[] = {
        {"256 colours, top row first", Indexed(3, 4, {{1, 2, 3}, {200, 200, 200}}),
         ExpectedPicture(3, 2, {pal[1], pal[2], pal[3], pal[200], pal[200], pal[200]})},
        {"99 wide with bytes per line 100 uses the first 99 bytes",
         Indexed(99, 100, {Bytes(99, 5)}),
         ExpectedPicture(99, 1, std::vector<uint32_t>(99, pal[5]))},
        {"bounds need not start at 0", offset, ExpectedPicture(3, 1, {pal[1], pal[2], pal[3]})},
        {"no palette marker: greys", noMarker, ExpectedPicture(2, 1, {0x010101, 0x020202})},
        {"no palette at all: greys", noPalette, ExpectedPicture(2, 1, {0x010101, 0x020202})},
        {"runs cross from one plane into the next", acrossPlanes,
         ExpectedPicture(2, 1, {0x050509, 0x050909})},
        {"three planes, red first", TrueColour(3, {{0x102030, 0xFFC0C1, 0x000000}, {1, 2, 3}}),
         ExpectedPicture(3, 2, {0x102030, 0xFFC0C1, 0x000000, 1, 2, 3})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(SamePicture(Load(c.file.Build()), c.expected, 0, "pcx"));
    }
    // xmin 0 and xmax 99: 100 pixels wide.
    EXPECT_EQ(Load(Indexed(100, 100, {Bytes(100, 1)}).Build()).width, 100);
}

TEST_F(PcxTest, RefusesOtherLayoutsAndBrokenLines) {
    PcxFile good = Indexed(4, 4, {{1, 2, 3, 4}, {5, 6, 7, 8}});
    ASSERT_TRUE(Load(good.Build()).ok);
    struct Case {
        const char* name;
        void (*change)(PcxFile&);
    };
    const Case cases[] = {
        {"1 bit x 4 planes", [](PcxFile& f) { f.planeBits = 1, f.planes = 4; }},
        {"8 bits x 4 planes", [](PcxFile& f) { f.planes = 4; }},
        {"4 bits x 1 plane", [](PcxFile& f) { f.planeBits = 4; }},
        {"xmax below xmin", [](PcxFile& f) { f.xmin = 5, f.xmax = 4; }},
        {"ymax below ymin", [](PcxFile& f) { f.ymin = 2, f.ymax = 1; }},
        {"bytes per line below the width", [](PcxFile& f) { f.bytesPerLine = 3; }},
        {"bytes per line 0", [](PcxFile& f) { f.bytesPerLine = 0; }},
        {"65536 wide", [](PcxFile& f) { f.xmin = -32768, f.xmax = 32767, f.bytesPerLine = 32767; }},
        {"a run past the line's end",
         [](PcxFile& f) {
             f.encoded = {0xC5, 1, 0xC3, 2};
         }},
        {"lines missing", [](PcxFile& f) { f.encoded.resize(3), f.palette.clear(); }},
        {"three planes, a run past the scan line's end",
         [](PcxFile& f) {
             f.planes = 3;
             f.encoded = {0xCB, 1, 0xC2, 2, 0xCB, 3}; // 11 + 2 of 12 bytes
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PcxFile file = good;
        c.change(file);
        EXPECT_FALSE(Load(file.Build()).ok);
    }
}

TEST_F(PcxTest, TruncationAtEveryLengthIsHarmless) {
    for (PcxFile file : {Indexed(3, 4, {{1, 2, 3}, {0xC7, 0xC7, 9}}),
                         TrueColour(2, {{0x010203, 0xC0C0C0}, {5, 6}})}) {
        file.palette.clear();
        const Bytes whole = file.Build();
        ASSERT_TRUE(Load(whole).ok);
        for (size_t n = 0; n < whole.size(); ++n)
            EXPECT_FALSE(Load(Bytes(whole.begin(), whole.begin() + n), IMAGE_PCX).ok) << n;
    }
}

} // namespace
