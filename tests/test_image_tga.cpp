// The TGA decoder: every image type and depth it reads, colour maps, row order, run and raw
// packets (also across rows and past the picture's end), refusals and truncation.
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
    map16.colourMap = {0x00, 0x7C, 0x1F, 0x00, 0xFF, 0xFF}; // 0x7C00, 0x001F, 0xFFFF
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
        {"16-bit: 0x7C00 red, 0x001F blue, 0x8000 black, 0x03E0 green, 0x7FFF",
         Tga(2, 16, 5, 1, {0x00, 0x7C, 0x1F, 0x00, 0x00, 0x80, 0xE0, 0x03, 0xFF, 0x7F}),
         ExpectedPicture(5, 1, {0xF80000, 0x0000F8, 0x000000, 0x00F800, 0xF8F8F8})},
        {"8-bit mapped, 16 entries: indices past the map are black",
         Mapped(1, 0, 16, {0, 15, 16, 255}, 4, 1),
         ExpectedPicture(4, 1, {Entry24(0), Entry24(15), 0, 0})},
        {"map from index 4: 16 stored entries fill indices 4 to 19",
         Mapped(1, 4, 16, {3, 4, 19, 20}, 4, 1),
         ExpectedPicture(4, 1, {0, Entry24(0), Entry24(15), 0})},
        {"16-bit colour map entries", map16, ExpectedPicture(3, 1, {0xF80000, 0x0000F8, 0xF8F8F8})},
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
         ExpectedPicture(2, 1, {0xF80000, 0xF80000})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(SamePicture(Load(c.file.Build()), c.expected, 0, "tga"));
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
