// The hosts' one frame converter in the orders and alphas the hosts ask for: the canvas's
// red-green-blue-alpha bytes (the web host), 0x00RRGGBB (the headless host's kept frame), and
// frames that come without masks. The SDL2 host's own order is covered in test_sdl_host.cpp.
#include "host/FrameConvert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace tarn::platform;

namespace {

const uint32_t kPalette[256] = {0x000000, 0x123456, 0xFFFFFF};

// One frame of two rows of two pixels with a padded pitch; only the last pixel is set.
struct OnePixelFrame {
    std::vector<uint8_t> memory;
    FrameView view;
    OnePixelFrame(int bits, uint32_t r, uint32_t g, uint32_t b, const std::vector<uint8_t>& pixel) {
        const int bytes = bits / 8, pitch = 2 * bytes + 3;
        memory.assign(2 * pitch, 0);
        std::memcpy(&memory[pitch + bytes], pixel.data(), bytes);
        view = FrameView{memory.data(), pitch, 2, 2, bits, r, g, b, kPalette};
    }
};

TEST(FrameConvert, WritesEachOrderAndAlphaAHostAsksFor) {
    struct Case {
        const char* name;
        int bits;
        uint32_t red, green, blue;
        std::vector<uint8_t> pixel;
        uint32_t rgb; // 0x00RRGGBB
    };
    const Case cases[] = {
        {"8-bit palette entry", 8, 0, 0, 0, {1}, 0x123456},
        {"5-6-5", 16, 0xF800, 0x07E0, 0x001F, {0x20, 0x80}, 0x840400},
        {"5-5-5", 16, 0x7C00, 0x03E0, 0x001F, {0x01, 0x7C}, 0xFF0008},
        {"16 bits, 4-4-4", 16, 0x0F00, 0x00F0, 0x000F, {0x3C, 0x0A}, 0xAA33CC},
        {"16 bits without masks: 5-6-5", 16, 0, 0, 0, {0xFF, 0xFF}, 0xFFFFFF},
        {"24-bit BGR", 24, 0xFF0000, 0x00FF00, 0x0000FF, {0x11, 0x22, 0x33}, 0x332211},
        {"32-bit x8r8g8b8", 32, 0xFF0000, 0x00FF00, 0x0000FF, {0x11, 0x22, 0x33, 0x99}, 0x332211},
        {"32-bit x8b8g8r8", 32, 0x0000FF, 0x00FF00, 0xFF0000, {0x11, 0x22, 0x33, 0x99}, 0x112233},
        {"32 bits without masks: 8-8-8", 32, 0, 0, 0, {0x11, 0x22, 0x33, 0x99}, 0x332211},
        {"32 bits, 10-10-10", 32, 0x3FF00000, 0x000FFC00, 0x000003FF, {0xFF, 0x03, 0, 0}, 0x0000FF},
    };
    struct Target {
        RgbOrder order;
        uint8_t alpha;
    };
    for (const Target t : {Target{RgbOrder::Argb, 0}, Target{RgbOrder::Abgr, 0xFF}}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            OnePixelFrame frame(c.bits, c.red, c.green, c.blue, c.pixel);
            FrameConverter converter(t.order, t.alpha);
            ASSERT_TRUE(converter.Prepare(frame.view, nullptr));
            uint32_t out[2][3] = {};
            converter.Convert(frame.view, out, sizeof out[0]);
            const uint32_t r = c.rgb >> 16, g = (c.rgb >> 8) & 0xFF, b = c.rgb & 0xFF;
            const uint32_t want = t.order == RgbOrder::Argb ? c.rgb : (b << 16 | g << 8 | r);
            EXPECT_EQ(out[1][1], uint32_t(t.alpha) << 24 | want);
            EXPECT_EQ(out[0][0], uint32_t(t.alpha) << 24);
            EXPECT_EQ(out[1][2], 0u) << "wrote past the row";
        }
    }
}

// The vector paths write each order: every 16-bit value, in rows that are no multiple of eight
// pixels, comes out in the canvas's order as the byte-swapped 0xAARRGGBB value.
TEST(FrameConvert, CanvasOrderIsTheSwappedArgbForEvery16BitPixel) {
    for (uint32_t redMask : {0xF800u, 0x7C00u}) {
        const uint32_t greenMask = redMask == 0xF800 ? 0x07E0 : 0x03E0;
        const int width = 257, height = 256;
        std::vector<uint16_t> memory(static_cast<size_t>(width) * height);
        for (size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint16_t>(i);
        const FrameView frame{memory.data(), width * 2, width,  height, 16,
                              redMask,       greenMask, 0x001F, nullptr};
        FrameConverter argb(RgbOrder::Argb, 0x80), abgr(RgbOrder::Abgr, 0x80);
        ASSERT_TRUE(argb.Prepare(frame, nullptr));
        ASSERT_TRUE(abgr.Prepare(frame, nullptr));
        std::vector<uint32_t> a(memory.size()), b(memory.size());
        argb.Convert(frame, a.data(), width * 4);
        abgr.Convert(frame, b.data(), width * 4);
        for (size_t i = 0; i < a.size(); ++i) {
            const uint32_t swapped =
                (a[i] & 0xFF00FF00u) | (a[i] >> 16 & 0xFF) | (a[i] & 0xFF) << 16;
            ASSERT_EQ(b[i], swapped) << "pixel " << i << " of masks 0x" << std::hex << redMask;
        }
    }
}

TEST(FrameConvert, WidensChannelsByRepeatingTheirTopBits) {
    struct Case {
        uint32_t value;
        int bits;
        uint32_t wide;
    };
    const Case cases[] = {{0, 5, 0},       {31, 5, 255}, {16, 5, 132},      {1, 1, 255},
                          {2, 3, 0x49},    {63, 6, 255}, {0x3FF, 10, 0xFF}, {0x200, 10, 0x80},
                          {0xAB, 8, 0xAB}, {5, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(WidenChannel(c.value, c.bits), c.wide) << c.value << " of " << c.bits << " bits";
}

} // namespace
