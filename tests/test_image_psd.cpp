// The PSD decoder: channel counts (absent channels filled, extra ones not read), the skipped
// sections, raw and PackBits planes, refusals and truncation. The blue-green-red-alpha buffer is
// checked directly (the surface has no alpha); one picture goes through the front end.
#include "image/TarnImage.h"
#include "image/TarnImagePSD.h"
#include "support/ImageFixtures.h"

#include <vector>

using fixtures::Bytes;
using fixtures::PsdFile;
using fixtures::PsdRawPlanes;

namespace {

// The decoded pixels as 0xAARRGGBB, top row first; empty when the decoder refused the file.
std::vector<uint32_t> Decode(const Bytes& file) {
    TarnImagePSD decoder;
    std::vector<uint32_t> out;
    if (!decoder.DecodeBitmap(static_cast<int>(file.size()), file.data())) return out;
    EXPECT_TRUE(decoder.topDown);
    EXPECT_EQ(decoder.bitsPerPixel, 32);
    for (int y = 0; y < decoder.height; ++y)
        for (int x = 0; x < decoder.width; ++x) {
            const BYTE* p = decoder.pixels + static_cast<size_t>(decoder.stride) * y + 4 * x;
            out.push_back(static_cast<uint32_t>(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0]);
        }
    return out;
}

PsdFile Raw(int channels, const std::vector<uint32_t>& argb, uint32_t width) {
    PsdFile f;
    f.channels = channels;
    f.width = width;
    f.height = static_cast<uint32_t>(argb.size()) / width;
    f.data = PsdRawPlanes(argb, channels);
    return f;
}

const std::vector<uint32_t> SOURCE = {0x11223344, 0x55667788, 0x99AABBCC, 0xDDEEFF00};

TEST(PsdTest, FillsChannelsByTheirCount) {
    struct Case {
        const char* name;
        int channels;
        std::vector<uint32_t> expected;
    };
    // Planes are read in file order into byte 2 (red), 1 (green), 0 (blue), 3 (alpha) as far as
    // the byte position is below the channel count: one plane becomes blue, two green and blue.
    const Case cases[] = {
        {"3 channels: alpha 255", 3, {0xFF223344, 0xFF667788, 0xFFAABBCC, 0xFFEEFF00}},
        {"4 channels: alpha from the fourth plane", 4, SOURCE},
        {"5 channels: only the first four planes", 5, SOURCE},
        {"1 channel: the plane is blue", 1, {0xFF000022, 0xFF000066, 0xFF0000AA, 0xFF0000EE}},
        {"2 channels: green and blue", 2, {0xFF002233, 0xFF006677, 0xFF00AABB, 0xFF00EEFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decode(Raw(c.channels, SOURCE, 2).Build()), c.expected);
    }
}

TEST(PsdTest, SkipsColourModeDataResourcesAndLayers) {
    PsdFile f = Raw(4, SOURCE, 4);
    f.colourModeData = Bytes(7, 0xAB);
    f.resources = Bytes(33, 0xCD);
    f.layers = Bytes(101, 0xEF);
    EXPECT_EQ(Decode(f.Build()), SOURCE);
}

// PackBits: 0xFE 0x11 writes 0x11 three times, 0x02 a b c copies three bytes, 0x80 does
// nothing; the rows of a plane run on, and a packet past the plane's end is cut there.
TEST(PsdTest, UnpacksPackBitsPlanes) {
    PsdFile f;
    f.channels = 3;
    f.width = 4;
    f.height = 2;
    f.compression = 1;
    f.data = Bytes(3 * 2 * 2, 0); // byte counts of every row of every channel, not used
    const Bytes red = {0xFE, 0x11, 0x80, 0x02, 1, 2, 3, 0x01, 4, 5};
    const Bytes green = {0x07, 1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes blue = {0xF9, 0x33}; // 8 bytes
    for (const Bytes* plane : {&red, &green, &blue})
        f.data.insert(f.data.end(), plane->begin(), plane->end());
    EXPECT_EQ(Decode(f.Build()),
              (std::vector<uint32_t>{0xFF110133, 0xFF110233, 0xFF110333, 0xFF010433, 0xFF020533,
                                     0xFF030633, 0xFF040733, 0xFF050833}));

    PsdFile over = f;
    over.data = Bytes(3 * 2 * 2, 0);
    const Bytes long1 = {0x81, 0x44};            // 128 bytes for an 8-byte plane
    const Bytes rest = {0xF9, 0x55, 0xF9, 0x66}; // the next planes start after the packet
    over.data.insert(over.data.end(), long1.begin(), long1.end());
    over.data.insert(over.data.end(), rest.begin(), rest.end());
    EXPECT_EQ(Decode(over.Build()), std::vector<uint32_t>(8, 0xFF445566));
}

TEST(PsdTest, RefusesWhatItDoesNotDecode) {
    const PsdFile good = Raw(3, SOURCE, 2);
    ASSERT_FALSE(Decode(good.Build()).empty());
    struct Case {
        const char* name;
        void (*change)(PsdFile&);
    };
    const Case cases[] = {
        {"version 2", [](PsdFile& f) { f.version = 2; }},
        {"greyscale", [](PsdFile& f) { f.mode = 1; }},
        {"indexed", [](PsdFile& f) { f.mode = 2; }},
        {"CMYK", [](PsdFile& f) { f.mode = 4; }},
        {"16 bits per channel", [](PsdFile& f) { f.depth = 16; }},
        {"25 channels", [](PsdFile& f) { f.channels = 25; }},
        {"no channels", [](PsdFile& f) { f.channels = 0; }},
        {"compression 2", [](PsdFile& f) { f.compression = 2; }},
        {"40000 wide", [](PsdFile& f) { f.width = 40000; }},
        {"30000 x 30000: over the byte limit", [](PsdFile& f) { f.width = f.height = 30000; }},
        {"0 wide", [](PsdFile& f) { f.width = 0; }},
        {"planes missing", [](PsdFile& f) { f.data.resize(f.data.size() - 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PsdFile file = good;
        c.change(file);
        EXPECT_TRUE(Decode(file.Build()).empty());
    }
    // A section length that runs past the end of the data.
    Bytes bad = good.Build();
    bad[29] = 0xFF; // colour mode data length 255
    EXPECT_TRUE(Decode(bad).empty());
}

class PsdFrontTest : public ImageTest {};

TEST_F(PsdFrontTest, DecodesThroughTheFrontEnd) {
    const Decoded d = Load(Raw(4, SOURCE, 2).Build());
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 2);
    EXPECT_EQ(d.height, 2);
    EXPECT_EQ(d.pixels, (std::vector<uint32_t>{0x223344, 0x667788, 0xAABBCC, 0xEEFF00}));
}

TEST_F(PsdFrontTest, TruncationAtEveryLengthIsHarmless) {
    PsdFile packed;
    packed.width = 2;
    packed.height = 1;
    packed.compression = 1;
    packed.layers = Bytes(5, 1);
    packed.data = Bytes(6, 0);
    for (const Bytes& plane : {Bytes{0xFF, 1}, Bytes{0x01, 2, 3}, Bytes{0x80, 0xFF, 4}})
        packed.data.insert(packed.data.end(), plane.begin(), plane.end());
    for (const PsdFile& file : {Raw(4, SOURCE, 2), packed}) {
        const Bytes whole = file.Build();
        ASSERT_TRUE(Load(whole).ok);
        for (size_t n = 0; n < whole.size(); ++n)
            EXPECT_FALSE(Load(Bytes(whole.begin(), whole.begin() + n), IMAGE_PSD).ok) << n;
    }
}

} // namespace
