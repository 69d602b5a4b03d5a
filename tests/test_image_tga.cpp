// The TGA decoder: every image type and depth it reads, colour maps, row and column order, run
// and raw packets (also across rows and past the picture's end), detection with and without the
// footer, refusals and truncation.
#include "image/TarnImage.h"
#include "support/ImageFixtures.h"

#include <string>
#include <vector>

using fixtures::Bytes;
using fixtures::TgaFile;

namespace {

TgaFile Tga(int type, int depth, int width, int height, Bytes pixels, int descriptor = 0) {
    TgaFile f;
    f.type = type;
    f.depth = depth;
    f.width = width;
    f.height = height;
    f.pixels = std::move(pixels);
    f.descriptor = descriptor;
    return f;
}

// A colour map of `count` 24-bit entries: entry i is (red 10 i, green 100, blue 255 - i).
Bytes Map24(int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        out.push_back(static_cast<unsigned char>(255 - i)); // blue
        out.push_back(100);                                 // green
        out.push_back(static_cast<unsigned char>(10 * i));  // red
    }
    return out;
}
uint32_t Entry24(int i) {
    return (10u * i) << 16 | 100u << 8 | (255u - i);
}

TgaFile Mapped(int type, int first, int length, Bytes pixels, int width, int height) {
    TgaFile f = Tga(type, 8, width, height, std::move(pixels));
    f.mapType = 1;
    f.mapFirst = first;
    f.mapLength = length;
    f.mapEntrySize = 24;
    f.colourMap = Map24(length);
    return f;
}

class TgaTest : public ImageTest {};

TEST_F(TgaTest, DecodesEveryTypeAndDepth) {
    struct Case {
        const char* name;
        TgaFile file;
        Decoded expected; // top row first
    };
    TgaFile map16 = Tga(1, 8, 3, 1, {0, 1, 2});
    map16.mapType = 1;
    map16.mapLength = 3;
    map16.mapEntrySize = 16;
    map16.colourMap = {0x00, 0x7C, 0x10, 0x42, 0xFF, 0xFF}; // 0x7C00, 0x4210, 0xFFFF
    const Case cases[] = {
        {"24-bit, first stored row at the bottom",
         Tga(2, 24, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
         ExpectedPicture(2, 2, {0x090807, 0x0C0B0A, 0x030201, 0x060504})},
        {"24-bit, descriptor 0x20: first stored row at the top",
         Tga(2, 24, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0x20),
         ExpectedPicture(2, 2, {0x030201, 0x060504, 0x090807, 0x0C0B0A})},
        {"32-bit, 3 wide: 12 input bytes a row, alpha dropped",
         Tga(2, 32, 3, 1, {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99}),
         ExpectedPicture(3, 1, {0x030201, 0x060504, 0x090807})},
        {"24-bit, descriptor 0x10: first stored pixel at the right",
         Tga(2, 24, 3, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}, 0x10),
         ExpectedPicture(3, 2, {0x121110, 0x0F0E0D, 0x0C0B0A, 0x090807, 0x060504, 0x030201})},
        {"8-bit grey run-length, descriptor 0x30: top row first, right to left",
         Tga(11, 8, 3, 2, {0x81, 7, 0x00, 9, 0x02, 1, 2, 3}, 0x30),
         ExpectedPicture(3, 2, {0x090909, 0x070707, 0x070707, 0x030303, 0x020202, 0x010101})},
        // 5-bit channels widen by repeating their top bits, as BMP bit fields do: 31 -> 255,
        // 16 -> 132, 1 -> 8.
        {"16-bit: 0x7C00 red, 0x001F blue, 0x8000 black, 0x03E0 green, 0x7FFF, 0x4210, 0x0421",
         Tga(2, 16, 7, 1,
             {0x00, 0x7C, 0x1F, 0x00, 0x00, 0x80, 0xE0, 0x03, 0xFF, 0x7F, 0x10, 0x42, 0x21, 0x04}),
         ExpectedPicture(7, 1,
                         {0xFF0000, 0x0000FF, 0x000000, 0x00FF00, 0xFFFFFF, 0x848484, 0x080808})},
        {"15-bit, found by its footer like the other depths",
         Tga(2, 15, 2, 1, {0x00, 0x7C, 0x10, 0x42}), ExpectedPicture(2, 1, {0xFF0000, 0x848484})},
        {"8-bit mapped, 16 entries: indices past the map are black",
         Mapped(1, 0, 16, {0, 15, 16, 255}, 4, 1),
         ExpectedPicture(4, 1, {Entry24(0), Entry24(15), 0, 0})},
        {"map from index 4: 16 stored entries fill indices 4 to 19",
         Mapped(1, 4, 16, {3, 4, 19, 20}, 4, 1),
         ExpectedPicture(4, 1, {0, Entry24(0), Entry24(15), 0})},
        {"16-bit colour map entries", map16, ExpectedPicture(3, 1, {0xFF0000, 0x848484, 0xFFFFFF})},
        {"greyscale gets a grey ramp", Tga(3, 8, 3, 1, {0, 128, 255}),
         ExpectedPicture(3, 1, {0x000000, 0x808080, 0xFFFFFF})},
        {"run 0x83 writes 4, raw 0x02 reads 3",
         Tga(10, 24, 4, 2, {0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x00, 13, 14, 15},
             0x20),
         ExpectedPicture(
             4, 2,
             {0x030201, 0x030201, 0x030201, 0x030201, 0x060504, 0x090807, 0x0C0B0A, 0x0F0E0D})},
        {"packets cross rows", Tga(10, 24, 3, 2, {0x84, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}, 0x20),
         ExpectedPicture(3, 2, {0x030201, 0x030201, 0x030201, 0x030201, 0x030201, 0x060504})},
        {"a run past the last row ends the picture", Tga(11, 8, 2, 2, {0xFF, 0x40}),
         ExpectedPicture(2, 2, {0x404040, 0x404040, 0x404040, 0x404040})},
        {"mapped run-length", Mapped(9, 0, 4, {0x81, 2, 0x00, 3}, 3, 1),
         ExpectedPicture(3, 1, {Entry24(2), Entry24(2), Entry24(3)})},
        {"16-bit run-length", Tga(10, 16, 2, 1, {0x81, 0x00, 0x7C}),
         ExpectedPicture(2, 1, {0xFF0000, 0xFF0000})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(SamePicture(Load(c.file.Build()), c.expected, 0, "tga"));
    }
}

// Every entry the colour map stores reaches the colour table: from the first entry index on
// (index 4 and 16 entries fill 4 to 19, not 4 to 15 from the first 12), 32-bit entries read as
// blue, green, red and a fourth byte that is skipped, and entries past index 255 dropped.
TEST_F(TgaTest, ColourMapsKeepEveryStoredEntry) {
    auto map32 = [](int first, int length, Bytes pixels, int width) {
        TgaFile f = Mapped(1, first, length, std::move(pixels), width, 1);
        f.mapEntrySize = 32;
        f.colourMap.clear();
        for (int i = 0; i < length; ++i) {
            const uint32_t c = Entry24(i);
            f.colourMap.insert(f.colourMap.end(),
                               {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                                static_cast<unsigned char>(c >> 16), 0x80});
        }
        return f;
    };
    const struct {
        const char* name;
        TgaFile file;
        Decoded expected;
    } cases[] = {
        {"24-bit entries from index 4", Mapped(1, 4, 16, {3, 4, 15, 16, 19, 20}, 6, 1),
         ExpectedPicture(6, 1, {0, Entry24(0), Entry24(11), Entry24(12), Entry24(15), 0})},
        {"32-bit entries", map32(0, 3, {0, 1, 2, 3}, 4),
         ExpectedPicture(4, 1, {Entry24(0), Entry24(1), Entry24(2), 0})},
        {"32-bit entries from index 4", map32(4, 16, {4, 19, 20}, 3),
         ExpectedPicture(3, 1, {Entry24(0), Entry24(15), 0})},
        {"entries past index 255 dropped", Mapped(1, 250, 10, {249, 250, 255}, 3, 1),
         ExpectedPicture(3, 1, {0, Entry24(0), Entry24(5)})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(SamePicture(Load(c.file.Build()), c.expected, 0, "tga_map"));
    }
}

// Most writers leave the TGA 2.0 footer out. Such a file is still found, after every other
// format's test, when each field of its header holds together; one field out of place and the
// data is no TGA.
TEST_F(TgaTest, WithoutTheFooterTheWholeHeaderDecides) {
    const auto bare = [](TgaFile f) {
        f.footer = false;
        return f;
    };
    TgaFile withMap = Tga(2, 24, 1, 1, {1, 2, 3});
    withMap.mapType = 1;
    withMap.mapLength = 2;
    withMap.mapEntrySize = 24;
    withMap.colourMap = Map24(2);
    TgaFile mapTypeTwo = withMap;
    mapTypeTwo.mapType = 2;
    TgaFile noMapButLength = Tga(2, 24, 1, 1, {1, 2, 3});
    noMapButLength.mapLength = 1;
    TgaFile noMapButEntrySize = Tga(2, 24, 1, 1, {1, 2, 3});
    noMapButEntrySize.mapEntrySize = 24;
    TgaFile mappedEmptyMap = Mapped(1, 0, 0, {0}, 1, 1);
    mappedEmptyMap.colourMap.clear();
    TgaFile mappedNoMapType = Mapped(1, 0, 2, {0}, 1, 1);
    mappedNoMapType.mapType = 0;
    TgaFile mapEntry8 = Mapped(1, 0, 2, {0}, 1, 1);
    mapEntry8.mapEntrySize = 8;
    mapEntry8.colourMap.resize(2);
    TgaFile withId = Tga(3, 8, 2, 1, {5, 6});
    withId.id = Bytes(7, 'i');
    const struct {
        const char* name;
        TgaFile file;
        int format;
    } cases[] = {
        {"true colour 24", Tga(2, 24, 2, 2, Bytes(12, 9)), IMAGE_TGA},
        {"true colour 15", Tga(2, 15, 1, 1, {0, 0x7C}), IMAGE_TGA},
        {"true colour 32, top first, 8 alpha bits", Tga(2, 32, 1, 1, {1, 2, 3, 4}, 0x28),
         IMAGE_TGA},
        {"true colour with a colour map", withMap, IMAGE_TGA},
        {"mapped", Mapped(1, 0, 2, {0, 1}, 2, 1), IMAGE_TGA},
        {"greyscale with an image ID", withId, IMAGE_TGA},
        {"mapped run-length", Mapped(9, 0, 2, {0x81, 1}, 2, 1), IMAGE_TGA},
        {"true colour run-length", Tga(10, 24, 4, 4, {0xFF, 1, 2, 3}), IMAGE_TGA},
        {"greyscale run-length", Tga(11, 8, 4, 1, {0x83, 7}), IMAGE_TGA},
        {"type 0", Tga(0, 24, 1, 1, {1, 2, 3}), IMAGE_UNKNOWN},
        {"type 32", Tga(32, 24, 1, 1, {1, 2, 3}), IMAGE_UNKNOWN},
        {"depth 12", Tga(2, 12, 1, 1, {1, 2}), IMAGE_UNKNOWN},
        {"greyscale at 16 bits", Tga(3, 16, 1, 1, {1, 2}), IMAGE_UNKNOWN},
        {"colour map type 2", mapTypeTwo, IMAGE_UNKNOWN},
        {"no colour map, yet a map length", noMapButLength, IMAGE_UNKNOWN},
        {"no colour map, yet an entry size", noMapButEntrySize, IMAGE_UNKNOWN},
        {"mapped with an empty map", mappedEmptyMap, IMAGE_UNKNOWN},
        {"mapped with colour map type 0", mappedNoMapType, IMAGE_UNKNOWN},
        {"map entries of 8 bits", mapEntry8, IMAGE_UNKNOWN},
        {"width 0", Tga(2, 24, 0, 1, {}), IMAGE_UNKNOWN},
        {"height 0", Tga(2, 24, 1, 0, {}), IMAGE_UNKNOWN},
        {"interleave bits set", Tga(2, 24, 1, 1, {1, 2, 3}, 0x40), IMAGE_UNKNOWN},
        {"12 alpha bits", Tga(2, 32, 1, 1, {1, 2, 3, 4}, 0x0C), IMAGE_UNKNOWN},
        {"raw rows one byte short", Tga(2, 24, 2, 2, Bytes(11, 9)), IMAGE_UNKNOWN},
        {"run-length without packets", Tga(10, 24, 1, 1, {}), IMAGE_UNKNOWN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes data = bare(c.file).Build();
        EXPECT_EQ(TarnImage::DetectFormat(static_cast<int>(data.size()), data.data()), c.format);
        if (c.format == IMAGE_TGA) {
            EXPECT_TRUE(Load(data).ok) << "found, so it decodes";
        }
    }
}

TEST_F(TgaTest, RefusesTypesAndDepthsItDoesNotDecode) {
    TgaFile mappedNoMap = Tga(1, 8, 1, 1, {0});
    TgaFile mapped16 = Mapped(1, 0, 2, {0, 0}, 1, 1);
    mapped16.depth = 16;
    TgaFile mapEntry8 = Mapped(1, 0, 2, {0}, 1, 1);
    mapEntry8.mapEntrySize = 8;
    const std::pair<const char*, TgaFile> cases[] = {
        {"type 0, no image data", Tga(0, 24, 1, 1, {1, 2, 3})},
        {"type 32, Huffman", Tga(32, 24, 1, 1, {1, 2, 3})},
        {"depth 12", Tga(2, 12, 1, 1, {1, 2})},
        {"true colour at 8 bits", Tga(2, 8, 1, 1, {1})},
        {"greyscale at 16 bits", Tga(3, 16, 1, 1, {1, 2})},
        {"mapped without a map", mappedNoMap},
        {"mapped 16-bit indices", mapped16},
        {"map entries of 8 bits", mapEntry8},
        {"width 0", Tga(2, 24, 0, 1, {})},
        {"65535 x 65535", Tga(2, 24, 65535, 65535, {1, 2, 3})},
        {"65535 x 65535 run-length", Tga(10, 24, 65535, 65535, {0xFF, 1, 2, 3})},
        {"raw rows missing", Tga(2, 24, 2, 2, {1, 2, 3, 4, 5, 6})},
        {"packets end early", Tga(10, 24, 2, 2, {0x81, 1, 2, 3})},
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(Load(file.Build()).ok);
        EXPECT_FALSE(Load(file.Build(), IMAGE_TGA).ok);
    }
}

TEST_F(TgaTest, TruncationAtEveryLengthIsHarmless) {
    const TgaFile files[] = {
        Mapped(1, 2, 5, {0, 1, 2, 3, 4, 5}, 3, 2),
        Tga(10, 24, 3, 2, {0x84, 1, 2, 3, 0x00, 4, 5, 6}),
        Tga(10, 32, 2, 2, {0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x81, 9, 9, 9, 9}),
        Tga(2, 16, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8}),
    };
    for (const TgaFile& file : files) {
        TgaFile bare = file;
        bare.footer = false;
        const Bytes whole = bare.Build();
        ASSERT_TRUE(Load(whole, IMAGE_TGA).ok);
        for (size_t n = 0; n < whole.size(); ++n) {
            const Decoded d = Load(Bytes(whole.begin(), whole.begin() + n), IMAGE_TGA);
            EXPECT_FALSE(d.ok) << n; // every byte of these files is needed
        }
    }
}

} // namespace
