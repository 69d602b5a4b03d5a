// The sprite and shape calls of TarnSurface on surfaces of every depth (8, 15, 16, 24, 32) of the
// headless host: colour keys, keyed, scaled, constant-alpha and alpha-plane copies clipped on
// every side, shapes clipped to the clip area, result codes, lost surfaces and no allocation per
// call. Every check compares the whole destination with a model, so a stray pixel anywhere fails.
#include "cpu/ProcessorFeatures.h"
#include "display/TarnScreen.h"
#include "surface/internal/BlendRoutines.h"
#include "surface/internal/BlendVectors.h"
#include "surface/internal/PixelFormat.h"
#include "surface/TarnSurface.h"

#include "support/AllocationCounter.h"
#include "support/HeadlessTest.h"
#include "support/ImageFixtures.h"
#include "support/ScreenFixture.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using tarn::platform::LiveObjects;

const int kDepths[] = {8, 15, 16, 24, 32};

// Pixel values of a surface, rows packed; what a test expects is built the same way.
typedef std::vector<DWORD> Pixels;

// A distinct value for pixel (x, y) that uses every byte of the depth (bit 15 clear at 15 bits,
// the top byte clear at 32 bits, so blends and copies of it can be compared directly).
DWORD Pattern(int depth, int x, int y, DWORD seed) {
    DWORD v = (static_cast<DWORD>(x) * 0x9E3779B1u + static_cast<DWORD>(y) * 0x85EBCA77u + seed);
    v ^= v >> 13;
    v *= 0xC2B2AE35u;
    v ^= v >> 16;
    switch (depth) {
    case 8:
        return v & 0xFF;
    case 15:
        return v & 0x7FFF;
    case 16:
        return v & 0xFFFF;
    default:
        return v & 0xFFFFFF;
    }
}

class SpriteTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        host->Config().pitchPadding = 3; // rows that do not end where the next begins
        screen = new TarnScreen();
        ASSERT_NE(screen->GetDirectDraw(), nullptr);
        ASSERT_EQ(screen->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override {
        for (TarnSurface* s : made) delete s;
        made.clear();
        delete screen;
        EXPECT_EQ(LiveObjects(), 0);
        HeadlessTest::TearDown();
    }

    // A w x h surface of the given depth code, clipped to itself, filled with Pattern(seed).
    TarnSurface* Make(int depth, int w, int h, DWORD seed, DWORD caps = DDSCAPS_SYSTEMMEMORY) {
        const DDPIXELFORMAT format = FormatOf(depth);
        TarnSurface* s = WrapOffscreenSurface(screen, w, h, caps, &format);
        made.push_back(s);
        EXPECT_EQ(s->pixelLayout.depth, depth);
        Pixels fill(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) fill[y * w + x] = Pattern(depth, x, y, seed);
        Write(s, fill);
        return s;
    }

    static void Write(TarnSurface* s, const Pixels& pixels) {
        ASSERT_EQ(s->Lock(), 1);
        const int bytes = BytesPerPixel(s->pixelLayout.depth);
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) {
                BYTE* p = static_cast<BYTE*>(s->surfaceDesc.lpSurface) + y * s->surfaceDesc.lPitch +
                          x * bytes;
                for (int i = 0; i < bytes; ++i)
                    p[i] = static_cast<BYTE>(pixels[y * s->width + x] >> (8 * i));
            }
        ASSERT_EQ(s->Unlock(), 0);
    }

    static Pixels Read(TarnSurface* s) {
        Pixels out;
        if (s->Lock() != 1) return out;
        const int bytes = BytesPerPixel(s->pixelLayout.depth);
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) {
                const BYTE* p = static_cast<const BYTE*>(s->surfaceDesc.lpSurface) +
                                y * s->surfaceDesc.lPitch + x * bytes;
                DWORD v = 0;
                for (int i = 0; i < bytes; ++i) v |= static_cast<DWORD>(p[i]) << (8 * i);
                out.push_back(v);
            }
        s->Unlock();
        return out;
    }

    // The surface's alpha plane, rows packed; empty when it has none.
    static std::vector<BYTE> Plane(TarnSurface* s) {
        if (s->alphaPlane == nullptr) return {};
        return std::vector<BYTE>(s->alphaPlane, s->alphaPlane + static_cast<size_t>(s->alphaWidth) *
                                                                    s->alphaHeight);
    }

    // The first pixel where two pictures of width w differ, for a readable failure.
    static ::testing::AssertionResult Same(const Pixels& got, const Pixels& want, int w) {
        if (got.size() != want.size())
            return ::testing::AssertionFailure() << "sizes " << got.size() << " " << want.size();
        for (size_t i = 0; i < got.size(); ++i)
            if (got[i] != want[i])
                return ::testing::AssertionFailure()
                       << "pixel (" << i % w << ", " << i / w << ") is 0x" << std::hex << got[i]
                       << ", expected 0x" << want[i];
        return ::testing::AssertionSuccess();
    }

    TarnScreen* screen = nullptr;
    std::vector<TarnSurface*> made;
};

// Where a copy of a 6 x 4 source lands on a 16 x 10 destination clipped to (2, 1)-(14, 9): inside,
// and cut on each side and at two corners. Source pixel (sx, sy) lands at (x + sx, y + sy).
struct Placement {
    const char* name;
    int x, y;
};
const Placement kPlacements[] = {
    {"inside", 5, 3},
    {"cut on the left", 0, 3},
    {"cut on the right", 11, 3},
    {"cut at the top", 5, -2},
    {"cut at the bottom", 5, 7},
    {"top-left corner", -3, -1},
    {"bottom-right corner", 12, 8},
};
const RECT kDestClip = {2, 1, 14, 9};

bool InClip(const RECT& c, int x, int y) {
    return x >= c.left && x < c.right && y >= c.top && y < c.bottom;
}

// One channel of the blend rule: d + ((s - d) * a >> 8), the floor by an arithmetic shift.
DWORD Mix(int depth, DWORD d, DWORD s, int a) {
    if (depth == 8) return s;
    int shifts[3] = {0, 5, depth == 15 ? 10 : 11};
    int widths[3] = {5, depth == 15 ? 5 : 6, 5};
    if (depth >= 24) shifts[1] = 8, shifts[2] = 16, widths[0] = widths[1] = widths[2] = 8;
    DWORD out = 0;
    for (int c = 0; c < 3; ++c) {
        const int mask = (1 << widths[c]) - 1;
        const int dc = static_cast<int>(d >> shifts[c]) & mask;
        const int sc = static_cast<int>(s >> shifts[c]) & mask;
        out |= static_cast<DWORD>(dc + (((sc - dc) * a) >> 8)) << shifts[c];
    }
    return out;
}

// Keyed copies at every depth and placement skip exactly the key's pixels; without a key,
// CopyKeyedTo is a plain copy. The key survives in DirectDraw and reads back.
TEST_F(SpriteTest, KeyedCopiesSkipTheKeyAtEveryDepthAndPlacement) {
    for (int depth : kDepths) {
        TarnSurface* sprite = Make(depth, 6, 4, 1);
        Pixels spritePixels = Read(sprite);
        const DWORD key = spritePixels[1];
        for (int i : {7, 8, 9, 14, 22}) spritePixels[i] = key; // a few more pixels of the key
        Write(sprite, spritePixels);
        ASSERT_EQ(sprite->SetColourKey(key), DD_OK);
        DDCOLORKEY read = {};
        ASSERT_EQ(sprite->surface->GetColorKey(DDCKEY_SRCBLT, &read), DD_OK);
        EXPECT_EQ(read.dwColorSpaceLowValue, key);
        TarnSurface* dest = Make(depth, 16, 10, 2);
        dest->SetClipArea(&kDestClip);
        const Pixels background = Read(dest);
        for (bool keyed : {true, false}) {
            if (!keyed) {
                ASSERT_EQ(sprite->ClearColourKey(), DD_OK);
            }
            for (const Placement& p : kPlacements) {
                SCOPED_TRACE(std::to_string(depth) + " bits, " + p.name +
                             (keyed ? ", keyed" : ", no key"));
                Write(dest, background);
                Pixels want = background;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 6; ++sx) {
                        const DWORD v = spritePixels[sy * 6 + sx];
                        if (InClip(kDestClip, p.x + sx, p.y + sy) && !(keyed && v == key))
                            want[(p.y + sy) * 16 + p.x + sx] = v;
                    }
                EXPECT_EQ(sprite->CopyKeyedTo(dest, p.x, p.y, nullptr), DD_OK);
                EXPECT_TRUE(Same(Read(dest), want, 16));
            }
        }
        EXPECT_EQ(sprite->CopyKeyedTo(dest, 14, 0, nullptr), 0); // nothing left after clipping
        EXPECT_EQ(sprite->CopyKeyedTo(nullptr, 0, 0, nullptr), -1);
    }
}

// An RGB key (and MapRGB's pixel value) is the colour as pictures are converted: top bits per
// channel, the nearest palette entry at 8 bits (the fixed 3-3-2 palette here, where magenta is
// 7-0-3).
TEST_F(SpriteTest, RgbKeysFollowThePixelLayout) {
    const struct {
        int depth;
        BYTE r, g, b;
        DWORD key;
    } cases[] = {
        {8, 255, 0, 255, 0xE3},      {8, 30, 40, 200, 0x26},         {15, 255, 0, 255, 0x7C1F},
        {16, 255, 0, 255, 0xF81F},   {16, 0x87, 0x45, 0x0F, 0x8221}, {24, 1, 2, 3, 0x010203},
        {32, 255, 0, 255, 0xFF00FF},
    };
    for (const auto& c : cases) {
        TarnSurface* s = Make(c.depth, 2, 2, 0);
        EXPECT_EQ(s->MapRGB(c.r, c.g, c.b), c.key) << c.depth;
        ASSERT_EQ(s->SetColourKeyRGB(c.r, c.g, c.b), DD_OK) << c.depth;
        EXPECT_EQ(s->colourKey, c.key) << c.depth;
        EXPECT_TRUE(s->hasColourKey);
    }
    // On the direct-colour depths MapRGB, which reads the surface's masks, agrees with the
    // pixel-format trait of the depth for every channel value.
    auto agrees = [&](auto format, int depth) {
        TarnSurface* s = Make(depth, 1, 1, 0);
        for (int v = 0; v < 256; ++v) {
            const BYTE a = static_cast<BYTE>(v), b = static_cast<BYTE>(255 - v),
                       c = static_cast<BYTE>(v * 7);
            ASSERT_EQ(s->MapRGB(a, b, c), decltype(format)::FromRGB(a, b, c)) << depth << " " << v;
        }
    };
    agrees(PixelFormat<15>{}, 15);
    agrees(PixelFormat<16>{}, 16);
    agrees(PixelFormat<24>{}, 24);
    agrees(PixelFormat<32>{}, 32);
    TarnSurface empty;
    EXPECT_EQ(empty.SetColourKeyRGB(1, 2, 3), -1);
    EXPECT_EQ(empty.MapRGB(1, 2, 3), 0u);
    EXPECT_EQ(empty.SetColourKey(1), -1);
    EXPECT_EQ(empty.ClearColourKey(), -1);
}

// Scaled copies: doubled and halved, with and without the key, clipped on each side by whole
// source pixels so the visible part is exactly what the whole copy would show there.
TEST_F(SpriteTest, StretchToScalesByNearestSampleAndClips) {
    const struct {
        const char* name;
        RECT dest;
    } cases[] = {
        {"doubled, inside", {2, 2, 14, 10}},
        {"doubled, cut on the left", {-4, 2, 8, 10}},
        {"doubled, cut at the top", {2, -4, 14, 4}},
        {"doubled, cut on the right", {8, 2, 20, 10}},
        {"doubled, cut at the bottom", {2, 6, 14, 14}},
        {"halved", {3, 3, 6, 5}},
        {"same size", {1, 1, 7, 5}},
    };
    for (int depth : kDepths) {
        TarnSurface* sprite = Make(depth, 6, 4, 3);
        const Pixels spritePixels = Read(sprite);
        const DWORD key = spritePixels[5];
        TarnSurface* dest = Make(depth, 16, 12, 4);
        const RECT clip = {0, 0, 16, 12};
        const Pixels background = Read(dest);
        for (DWORD flags : {DWORD{0}, TARN_COPY_KEYED}) {
            ASSERT_EQ(sprite->SetColourKey(key), DD_OK);
            for (const auto& c : cases) {
                SCOPED_TRACE(std::to_string(depth) + " bits, " + c.name + (flags ? ", keyed" : ""));
                Write(dest, background);
                Pixels want = background;
                const int dw = c.dest.right - c.dest.left, dh = c.dest.bottom - c.dest.top;
                for (int y = c.dest.top; y < c.dest.bottom; ++y)
                    for (int x = c.dest.left; x < c.dest.right; ++x) {
                        const DWORD v = spritePixels[(y - c.dest.top) * 4 / dh * 6 +
                                                     (x - c.dest.left) * 6 / dw];
                        if (InClip(clip, x, y) && !(flags && v == key)) want[y * 16 + x] = v;
                    }
                EXPECT_EQ(sprite->StretchTo(dest, &c.dest, nullptr, flags), DD_OK);
                EXPECT_TRUE(Same(Read(dest), want, 16));
            }
        }
        // The clip area's cut from the destination trims the source in proportion.
        dest->SetClipArea(&kDestClip);
        Write(dest, background);
        RECT doubled = {0, 0, 12, 8};
        EXPECT_EQ(sprite->StretchTo(dest, &doubled, nullptr, 0), DD_OK);
        const Pixels got = Read(dest);
        EXPECT_EQ(got[1 * 16 + 2], spritePixels[0 * 6 + 1]);
        EXPECT_EQ(got[7 * 16 + 11], spritePixels[3 * 6 + 5]);
        EXPECT_EQ(got[0], background[0]);
        EXPECT_EQ(got[8 * 16 + 11], background[8 * 16 + 11]);
    }
    TarnSurface* a = Make(16, 4, 4, 0);
    TarnSurface* b = Make(16, 4, 4, 0);
    RECT empty = {2, 2, 2, 4}, outside = {20, 20, 30, 30}, huge = {0, 0, INT_MAX, 4};
    EXPECT_EQ(a->StretchTo(b, &empty, nullptr, 0), 0);
    EXPECT_EQ(a->StretchTo(b, &outside, nullptr, 0), 0);
    EXPECT_EQ(a->StretchTo(b, &huge, nullptr, 0), DDERR_INVALIDRECT);
    EXPECT_EQ(a->StretchTo(b, nullptr, nullptr, 0x80), DDERR_INVALIDPARAMS);
    EXPECT_EQ(a->StretchTo(nullptr, nullptr, nullptr, 0), -1);
    TarnSurface* other = Make(32, 4, 4, 0);
    EXPECT_EQ(a->StretchTo(other, nullptr, nullptr, 0), DDERR_INVALIDPIXELFORMAT);
}

// Constant alpha 0, 128 and 256 (and past 256) at every depth and placement, the key skipped,
// against the blend rule; 8-bit surfaces store the source index.
TEST_F(SpriteTest, BlendToMixesByTheBlendRule) {
    for (int depth : kDepths) {
        TarnSurface* sprite = Make(depth, 6, 4, 5);
        const Pixels spritePixels = Read(sprite);
        const DWORD key = spritePixels[7];
        ASSERT_EQ(sprite->SetColourKey(key), DD_OK);
        TarnSurface* dest = Make(depth, 16, 10, 6);
        dest->SetClipArea(&kDestClip);
        const Pixels background = Read(dest);
        for (int alpha : {0, 128, 256, 300}) {
            for (const Placement& p : kPlacements) {
                SCOPED_TRACE(std::to_string(depth) + " bits, alpha " + std::to_string(alpha) +
                             ", " + p.name);
                Write(dest, background);
                Pixels want = background;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 6; ++sx) {
                        const DWORD v = spritePixels[sy * 6 + sx];
                        const int at = (p.y + sy) * 16 + p.x + sx;
                        if (InClip(kDestClip, p.x + sx, p.y + sy) && v != key)
                            want[at] = Mix(depth, background[at], v, alpha > 256 ? 256 : alpha);
                    }
                EXPECT_EQ(sprite->BlendTo(dest, p.x, p.y, nullptr, static_cast<WORD>(alpha)), 0);
                EXPECT_TRUE(Same(Read(dest), want, 16));
            }
        }
    }
    TarnSurface* a = Make(16, 4, 4, 0);
    TarnSurface* b = Make(32, 4, 4, 0);
    EXPECT_EQ(a->BlendTo(b, 0, 0, nullptr, 128), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(a->BlendTo(a, 1, 1, nullptr, 128), DDERR_INVALIDPARAMS);
    EXPECT_EQ(a->BlendTo(nullptr, 0, 0, nullptr, 128), -1);
    TarnSurface* c = Make(16, 4, 4, 0);
    EXPECT_EQ(a->BlendTo(c, 4, 0, nullptr, 128), 0);
    // A caller's lock nests: the copy still happens and the lock is still held afterwards.
    ASSERT_EQ(c->Lock(), 1);
    EXPECT_EQ(a->BlendTo(c, 0, 0, nullptr, 256), 0);
    EXPECT_EQ(c->lockCount, 1u);
    EXPECT_EQ(c->Unlock(), 0);
    EXPECT_EQ(Read(c), Read(a));
}

// Alpha planes weight each pixel: a' = a + (a >> 7), so 255 is the source's channels and 0 the
// destination; at 8 bits the index is taken from 128 up. Without a plane it is CopyTo.
TEST_F(SpriteTest, AlphaBlendToWeighsByThePlane) {
    const BYTE weights[6] = {0, 1, 127, 128, 254, 255};
    for (int depth : kDepths) {
        TarnSurface* sprite = Make(depth, 6, 4, 7);
        const Pixels spritePixels = Read(sprite);
        TarnSurface* dest = Make(depth, 16, 10, 8);
        dest->SetClipArea(&kDestClip);
        const Pixels background = Read(dest);
        EXPECT_EQ(sprite->HasAlpha(), 0);
        EXPECT_EQ(sprite->AlphaBlendTo(dest, 5, 3, nullptr), DD_OK);
        Pixels copied = background;
        for (int sy = 0; sy < 4; ++sy)
            for (int sx = 0; sx < 6; ++sx)
                copied[(3 + sy) * 16 + 5 + sx] = spritePixels[sy * 6 + sx];
        EXPECT_TRUE(Same(Read(dest), copied, 16)) << depth << " bits without a plane";

        std::vector<BYTE> bgra(6 * 4 * 4, 0x11);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) bgra[(y * 6 + x) * 4 + 3] = weights[(x + y) % 6];
        ASSERT_EQ(sprite->SetAlphaPlane(bgra.data(), 6 * 4, 6, 4), 0);
        EXPECT_EQ(sprite->HasAlpha(), 1);
        for (const Placement& p : kPlacements) {
            SCOPED_TRACE(std::to_string(depth) + " bits, " + p.name);
            Write(dest, background);
            Pixels want = background;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 6; ++sx) {
                    const int at = (p.y + sy) * 16 + p.x + sx;
                    const int a = weights[(sx + sy) % 6];
                    if (!InClip(kDestClip, p.x + sx, p.y + sy)) continue;
                    const DWORD v = spritePixels[sy * 6 + sx];
                    if (depth == 8)
                        want[at] = a >= 128 ? v : background[at];
                    else
                        want[at] = Mix(depth, background[at], v, a + (a >> 7));
                }
            EXPECT_EQ(sprite->AlphaBlendTo(dest, p.x, p.y, nullptr), 0);
            EXPECT_TRUE(Same(Read(dest), want, 16));
        }
        EXPECT_EQ(sprite->SetAlphaPlane(bgra.data(), 6 * 4, 5, 4), -1); // not the surface's size
        EXPECT_EQ(sprite->SetAlphaPlane(nullptr, 0, 0, 0), 0);
        EXPECT_EQ(sprite->HasAlpha(), 0);
    }
}

// Every call that draws and finds a surface lost restores the lost one (a picture reloads its
// file with its alpha plane), draws once more and returns that drawing's result: success means
// the pixels are there. While the display stays away, the restore's failure is the result.
TEST_F(SpriteTest, DrawingOntoOrFromALostSurfaceRestoresItAndDrawsAgain) {
    const int w = 6, h = 4;
    fixtures::TgaFile tga; // 32-bit, alpha 255 everywhere, no pixel black
    tga.depth = 32;
    tga.width = w;
    tga.height = h;
    tga.descriptor = 0x28;
    for (int i = 0; i < w * h; ++i) fixtures::Put32(tga.pixels, 0xFF000000u | 0x0A1420u * (i + 1));
    const fixtures::Bytes file = tga.Build();
    const std::string path = testing::TempDir() + "lost_picture.tga";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);

    const RECT whole = {0, 0, w, h};
    const struct {
        const char* name;
        std::function<HRESULT(TarnSurface* picture, TarnSurface* dest, DWORD colour)> draw;
        bool fills; // the destination ends up `colour` everywhere, else the picture
    } calls[] = {
        {"CopyTo",
         [](TarnSurface* p, TarnSurface* d, DWORD) { return p->CopyTo(d, 0, 0, nullptr); }, false},
        {"CopyKeyedTo",
         [](TarnSurface* p, TarnSurface* d, DWORD) { return p->CopyKeyedTo(d, 0, 0, nullptr); },
         false},
        {"StretchTo",
         [&](TarnSurface* p, TarnSurface* d, DWORD) { return p->StretchTo(d, &whole, nullptr, 0); },
         false},
        {"StretchTo keyed",
         [&](TarnSurface* p, TarnSurface* d, DWORD) {
             return p->StretchTo(d, nullptr, &whole, TARN_COPY_KEYED);
         },
         false},
        {"BlendTo",
         [](TarnSurface* p, TarnSurface* d, DWORD) {
             return static_cast<HRESULT>(p->BlendTo(d, 0, 0, nullptr, 256));
         },
         false},
        {"AlphaBlendTo",
         [](TarnSurface* p, TarnSurface* d, DWORD) {
             return static_cast<HRESULT>(p->AlphaBlendTo(d, 0, 0, nullptr));
         },
         false},
        {"FillRect",
         [](TarnSurface*, TarnSurface* d, DWORD c) {
             return static_cast<HRESULT>(d->FillRect(nullptr, c));
         },
         true},
        {"FillSolid", [](TarnSurface*, TarnSurface* d, DWORD c) { return d->FillSolid(c); }, true},
    };
    const struct {
        const char* name;
        BYTE picturePlacement; // 0: lost with the display, 1: not
        DWORD destCaps;
        bool displayBack;
    } losses[] = {
        {"destination lost", 1, DDSCAPS_VIDEOMEMORY, true},
        {"picture lost", 0, DDSCAPS_SYSTEMMEMORY, true},
        {"both lost", 0, DDSCAPS_VIDEOMEMORY, true},
        {"both lost, display still away", 0, DDSCAPS_VIDEOMEMORY, false},
    };
    for (const auto& loss : losses)
        for (const auto& call : calls) {
            SCOPED_TRACE(std::string(loss.name) + ", " + call.name);
            TarnSurface* picture = new TarnSurface();
            made.push_back(picture);
            ASSERT_EQ(picture->Create(screen, path.c_str(), loss.picturePlacement), 1);
            ASSERT_EQ(picture->HasAlpha(), 1);
            ASSERT_EQ(picture->SetColourKeyRGB(0, 0, 0), DD_OK); // a key no pixel has
            TarnSurface* dest = Make(picture->pixelLayout.depth, w, h, 11, loss.destCaps);
            const DWORD colour = dest->MapRGB(200, 100, 50);

            TakeDisplayAway();
            if (loss.displayBack) GiveDisplayBack();
            const HRESULT hr = call.draw(picture, dest, colour);
            if (!loss.displayBack) {
                EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
                GiveDisplayBack();
                continue;
            }
            EXPECT_EQ(hr, DD_OK);
            const Pixels want = call.fills ? Pixels(w * h, colour) : Read(picture);
            EXPECT_TRUE(Same(Read(dest), want, w));
        }
}

// A picture whose file was replaced while it was lost comes back with the new file's pixels and
// plane; AlphaBlendTo takes the plane after its locks have restored it, so a plane that no longer
// fits the surface is not read (the copy is opaque) and a freed one never is.
TEST_F(SpriteTest, AlphaBlendToReadsThePlaneItsLocksReloaded) {
    auto write = [](const std::string& path, int w, int h) {
        fixtures::TgaFile tga;
        tga.depth = 32;
        tga.width = w;
        tga.height = h;
        tga.descriptor = 0x28;
        for (int i = 0; i < w * h; ++i)
            fixtures::Put32(tga.pixels, 0x40000000u | 0x0A1420u * (i + 1));
        const fixtures::Bytes file = tga.Build();
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    };
    const std::string path = testing::TempDir() + "replaced_picture.tga";
    write(path, 6, 4);
    TarnSurface* picture = new TarnSurface();
    made.push_back(picture);
    ASSERT_EQ(picture->Create(screen, path.c_str(), 0), 1);
    ASSERT_EQ(picture->HasAlpha(), 1);
    TarnSurface* dest = Make(picture->pixelLayout.depth, 6, 4, 5);

    write(path, 9,
          7); // a larger picture: its top-left 6 x 4 pixels come back, its plane does not fit
    LoseDisplay();
    EXPECT_EQ(picture->AlphaBlendTo(dest, 0, 0, nullptr), 0);
    EXPECT_EQ(picture->HasAlpha(), 0);
    EXPECT_TRUE(Same(Read(dest), Read(picture), 6));
}

// Lost video-memory surfaces keep their key: a keyed or scaled copy restores them, and a surface
// that came back without its key gets it again.
TEST_F(SpriteTest, LostSurfacesAreRestoredAndKeepTheirKey) {
    TarnSurface* sprite = Make(16, 6, 4, 9, DDSCAPS_VIDEOMEMORY);
    TarnSurface* dest = Make(16, 16, 10, 10, DDSCAPS_VIDEOMEMORY);
    ASSERT_EQ(sprite->SetColourKey(0x1234), DD_OK);
    const RECT whole = {0, 0, 12, 8};
    TakeDisplayAway();
    EXPECT_EQ(sprite->CopyKeyedTo(dest, 0, 0, nullptr), DDERR_WRONGMODE); // still away
    EXPECT_EQ(sprite->BlendTo(dest, 0, 0, nullptr, 128), DDERR_WRONGMODE);
    GiveDisplayBack();
    EXPECT_EQ(sprite->StretchTo(dest, &whole, nullptr, TARN_COPY_KEYED), DD_OK); // restored
    EXPECT_EQ(sprite->surface->IsLost(), DD_OK);
    EXPECT_EQ(dest->surface->IsLost(), DD_OK);
    DDCOLORKEY key = {};
    ASSERT_EQ(sprite->surface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0x1234u);
    EXPECT_EQ(sprite->CopyKeyedTo(dest, 0, 0, nullptr), DD_OK);
    LoseDisplay();
    EXPECT_EQ(sprite->BlendTo(dest, 0, 0, nullptr, 256), 0);
    const Pixels s = Read(sprite), d = Read(dest);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            if (s[y * 6 + x] != 0x1234) {
                EXPECT_EQ(d[y * 16 + x], s[y * 6 + x]) << x << "," << y;
            }
}

// Lines in every direction, both ends drawn, clipped on every side, against the nearest-pixel
// rule stepped one pixel at a time with a test per pixel.
TEST_F(SpriteTest, LinesAreTheNearestPixelsClippedBeforeStepping) {
    const struct {
        int x1, y1, x2, y2;
    } lines[] = {
        {3, 3, 12, 6},    {12, 6, 3, 3},     {3, 8, 12, 2},   {5, 1, 7, 9},   {7, 9, 5, 1},
        {-5, -3, 20, 12}, {20, 0, -4, 9},    {8, -10, 9, 30}, {-7, 4, 30, 4}, {4, 4, 4, 4},
        {0, 0, 15, 9},    {-100, 5, 100, 6}, {13, 2, 14, 30}, {1, 1, 1, 1},   {20, 20, 30, 30},
    };
    for (int depth : kDepths) {
        TarnSurface* s = Make(depth, 16, 10, 11);
        s->SetClipArea(&kDestClip);
        const Pixels background = Read(s);
        const DWORD colour = Pattern(depth, 99, 99, 99);
        for (const auto& l : lines) {
            SCOPED_TRACE(std::to_string(depth) + " bits, (" + std::to_string(l.x1) + "," +
                         std::to_string(l.y1) + ")-(" + std::to_string(l.x2) + "," +
                         std::to_string(l.y2) + ")");
            Write(s, background);
            Pixels want = background;
            const long dx = l.x2 - l.x1, dy = l.y2 - l.y1;
            const long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
            const long n = adx > ady ? adx : ady, m = adx > ady ? ady : adx;
            for (long i = 0; i <= n; ++i) {
                const long minor = n == 0 ? 0 : (2 * i * m + n) / (2 * n);
                const long x = l.x1 + (adx >= ady ? i : minor) * (dx < 0 ? -1 : 1);
                const long y = l.y1 + (adx >= ady ? minor : i) * (dy < 0 ? -1 : 1);
                if (InClip(kDestClip, static_cast<int>(x), static_cast<int>(y)))
                    want[y * 16 + x] = colour;
            }
            EXPECT_EQ(s->DrawLine(l.x1, l.y1, l.x2, l.y2, colour), 0);
            EXPECT_TRUE(Same(Read(s), want, 16));
        }
        // Ends far outside any int arithmetic's comfort: the visible part still lands.
        Write(s, background);
        EXPECT_EQ(s->DrawLine(INT_MIN, 5, INT_MAX, 5, colour), 0);
        EXPECT_EQ(s->DrawLine(INT_MIN, INT_MIN, INT_MAX, INT_MAX, colour), 0);
        const Pixels got = Read(s);
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(got[5 * 16 + x], x >= 2 && x < 14 ? colour : background[5 * 16 + x]) << x;
        EXPECT_EQ(got[4 * 16 + 4], colour); // on the diagonal
    }
}

// Rectangles and circles at every depth against pictures drawn by hand; each is clipped by the
// clip area (1, 1)-(15, 9) of a 16 x 10 surface.
TEST_F(SpriteTest, RectanglesAndCirclesMatchTheirPictures) {
    // '#': drawn; '.': untouched.
    const struct {
        const char* name;
        std::function<int(TarnSurface*, DWORD)> draw;
        const char* picture;
    } shapes[] = {
        {"outline",
         [](TarnSurface* s, DWORD c) {
             RECT r = {0, 2, 6, 6};
             return s->DrawRect(&r, c);
         },
         "................"
         "................"
         ".#####.........."
         ".....#.........."
         ".....#.........."
         ".#####.........."
         "................"
         "................"
         "................"
         "................"},
        {"fill",
         [](TarnSurface* s, DWORD c) {
             RECT r = {12, 7, 30, 30};
             return s->FillRect(&r, c);
         },
         "................"
         "................"
         "................"
         "................"
         "................"
         "................"
         "................"
         "............###."
         "............###."
         "................"},
        {"circle of radius 3", [](TarnSurface* s, DWORD c) { return s->DrawCircle(4, 4, 3, c); },
         "................"
         "...###.........."
         "..#...#........."
         ".#.....#........"
         ".#.....#........"
         ".#.....#........"
         "..#...#........."
         "...###.........."
         "................"
         "................"},
        {"disc of radius 3 cut at the bottom",
         [](TarnSurface* s, DWORD c) { return s->FillCircle(10, 7, 3, c); },
         "................"
         "................"
         "................"
         "................"
         ".........###...."
         "........#####..."
         ".......#######.."
         ".......#######.."
         ".......#######.."
         "................"},
        // Rows whose span lies wholly past the clip area's edge draw nothing, not a pixel on it.
        {"disc mostly past the right edge",
         [](TarnSurface* s, DWORD c) { return s->FillCircle(17, 4, 3, c); },
         "................"
         "................"
         "................"
         "..............#."
         "..............#."
         "..............#."
         "................"
         "................"
         "................"
         "................"},
        {"disc mostly past the left edge",
         [](TarnSurface* s, DWORD c) { return s->FillCircle(-2, 4, 3, c); },
         "................"
         "................"
         "................"
         ".#.............."
         ".#.............."
         ".#.............."
         "................"
         "................"
         "................"
         "................"},
        {"radius 0", [](TarnSurface* s, DWORD c) { return s->FillCircle(2, 2, 0, c); },
         "................"
         "................"
         "..#............."
         "................"
         "................"
         "................"
         "................"
         "................"
         "................"
         "................"},
    };
    const RECT clip = {1, 1, 15, 9};
    for (int depth : kDepths) {
        TarnSurface* s = Make(depth, 16, 10, 12);
        s->SetClipArea(&clip);
        const Pixels background = Read(s);
        const DWORD colour = Pattern(depth, 98, 98, 98);
        for (const auto& shape : shapes) {
            SCOPED_TRACE(std::to_string(depth) + " bits, " + shape.name);
            Write(s, background);
            Pixels want = background;
            for (int i = 0; i < 160; ++i)
                if (shape.picture[i] == '#') want[i] = colour;
            EXPECT_EQ(shape.draw(s, colour), 0);
            EXPECT_TRUE(Same(Read(s), want, 16));
        }
        Write(s, background);
        EXPECT_EQ(s->DrawCircle(8, 5, -1, colour), 0);
        EXPECT_EQ(s->FillCircle(INT_MAX, INT_MIN, 5, colour), 0);
        EXPECT_EQ(s->DrawCircle(100, 5, 20, colour), 0);
        RECT inverted = {6, 6, 2, 2};
        EXPECT_EQ(s->DrawRect(&inverted, colour), 0);
        EXPECT_EQ(s->FillRect(&inverted, colour), 0);
        EXPECT_TRUE(Same(Read(s), background, 16));
    }
    TarnSurface empty;
    EXPECT_EQ(empty.DrawLine(0, 0, 1, 1, 0), -1);
    EXPECT_EQ(empty.FillRect(nullptr, 0), -1);
    EXPECT_EQ(empty.DrawCircle(0, 0, 1, 0), -1);
}

// Pictures that state alpha keep it in a plane beside the surface, rows top first, whatever the
// file's row and column order, each alpha with its own pixel; pictures that state none get none.
// A plane of alpha 0 everywhere is kept too: the file says the picture is transparent. A lost
// picture reloads its plane with its pixels.
TEST_F(SpriteTest, PicturesWithAlphaKeepAPlane) {
    using namespace fixtures;
    const int w = 3, h = 2;
    const BYTE alphas[w * h] = {0, 64, 128, 200, 255, 17};
    const std::vector<BYTE> given(alphas, alphas + w * h), transparent(w * h, 0);
    std::vector<uint32_t> argb(w * h);
    for (int i = 0; i < w * h; ++i) argb[i] = uint32_t{alphas[i]} << 24 | (0x102030u * (i + 1));
    // The pixels with alpha 0 everywhere.
    auto cleared = [&] {
        std::vector<uint32_t> out = argb;
        for (uint32_t& p : out) p &= 0xFFFFFF;
        return out;
    };
    // BGRA bytes of the rows in the given order (top first or bottom first; each row from the
    // left or from the right).
    auto bgra = [&](const std::vector<uint32_t>& pixels, bool topFirst, bool rightFirst) {
        Bytes out;
        for (int r = 0; r < h; ++r) {
            const int y = topFirst ? r : h - 1 - r;
            for (int i = 0; i < w; ++i) Put32(out, pixels[y * w + (rightFirst ? w - 1 - i : i)]);
        }
        return out;
    };
    auto tga = [&](int type, int depth, int descriptor, bool zeroAlpha = false) {
        TgaFile f;
        f.type = type;
        f.depth = depth;
        f.width = w;
        f.height = h;
        f.descriptor = descriptor;
        const Bytes rows =
            bgra(zeroAlpha ? cleared() : argb, (descriptor & 0x20) != 0, (descriptor & 0x10) != 0);
        if (depth == 24) {
            for (size_t i = 0; i < rows.size(); ++i)
                if (i % 4 != 3) f.pixels.push_back(rows[i]);
        } else if (type == 10) {
            for (int r = 0; r < h; ++r) { // one raw packet per row
                f.pixels.push_back(static_cast<unsigned char>(w - 1));
                f.pixels.insert(f.pixels.end(), rows.begin() + r * w * 4,
                                rows.begin() + (r + 1) * w * 4);
            }
        } else {
            f.pixels = rows;
        }
        return f.Build();
    };
    auto bmp = [&](uint32_t compression, uint32_t headerSize, std::vector<uint32_t> masks,
                   bool zeroAlpha = false) {
        BmpFile f;
        f.width = w;
        f.height = h;
        f.bits = 32;
        f.compression = compression;
        f.headerSize = headerSize;
        f.masks = masks;
        f.pixels = bgra(zeroAlpha ? cleared() : argb, false, false);
        return f.Build();
    };
    auto psd = [&](int channels, bool zeroAlpha = false) {
        PsdFile f;
        f.channels = channels;
        f.width = w;
        f.height = h;
        f.data = PsdRawPlanes(zeroAlpha ? cleared() : argb, channels);
        return f.Build();
    };
    const std::vector<uint32_t> rgba = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const std::vector<BYTE> none;
    const struct {
        const char* name;
        Bytes file;
        const std::vector<BYTE>& plane; // empty: none
    } cases[] = {
        {"tga 32 raw, top first", tga(2, 32, 0x28), given},
        {"tga 32 rle, bottom first", tga(10, 32, 0x08), given},
        {"tga 32 raw, right to left, bottom first", tga(2, 32, 0x18), given},
        {"tga 32 raw, right to left, top first", tga(2, 32, 0x38), given},
        {"tga 32 rle, right to left, bottom first", tga(10, 32, 0x18), given},
        {"tga 32 rle, right to left, top first", tga(10, 32, 0x38), given},
        {"tga 32 without alpha bits", tga(2, 32, 0x20), none},
        {"tga 24", tga(2, 24, 0x20), none},
        {"tga alpha 0 everywhere", tga(2, 32, 0x28, true), transparent},
        {"psd with a fourth channel", psd(4), given},
        {"psd of three channels", psd(3), none},
        {"psd alpha 0 everywhere", psd(4, true), transparent},
        {"bmp v5 bit fields with an alpha mask", bmp(3, 124, rgba), given},
        {"bmp alpha bit fields", bmp(6, 40, rgba), given},
        {"bmp bit fields without an alpha mask", bmp(3, 40, {0xFF0000, 0xFF00, 0xFF}), none},
        {"bmp alpha 0 everywhere", bmp(3, 124, rgba, true), transparent},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = testing::TempDir() + "alpha_picture";
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(c.file.data(), 1, c.file.size(), f);
        std::fclose(f);
        TarnSurface* s = new TarnSurface();
        made.push_back(s);
        ASSERT_EQ(s->Create(screen, path.c_str(), 0), 1);
        ASSERT_EQ(s->HasAlpha(), c.plane.empty() ? 0 : 1);
        if (c.plane.empty()) continue;
        EXPECT_EQ(Plane(s), c.plane);
        // Lost with the display (video memory), restored by the next copy: the plane comes back
        // with the picture.
        s->alphaPlane[0] = 99;
        LoseDisplay();
        TarnSurface* dest = Make(s->pixelLayout.depth, 4, 4, 0);
        EXPECT_EQ(s->AlphaBlendTo(dest, 0, 0, nullptr), 0); // the lock restores and reloads
        EXPECT_EQ(Plane(s), c.plane);
    }
}

// PNG files keep a plane when they carry alpha: an alpha channel or a tRNS chunk, also when it
// makes every pixel transparent. An interlaced file gives the same plane as its plain twin.
TEST_F(SpriteTest, PngFilesWithAlphaKeepAPlane) {
    const std::string suite = std::string(TARN_TEST_DATA) + "/pngsuite/";
    const std::string ours = std::string(TARN_TEST_DATA) + "/alpha/";
    const struct {
        std::string file;
        bool plane;
    } cases[] = {
        {suite + "basn6a08.png", true},    {suite + "basi6a08.png", true},
        {suite + "basn4a16.png", true},    {suite + "tbrn2c08.png", true},
        {suite + "tbbn3p08.png", true},    {suite + "basn2c08.png", false},
        {suite + "basn3p08.png", false},   {suite + "basn0g16.png", false},
        {ours + "rgba-alpha-0.png", true}, {ours + "palette-trns-alpha-0.png", true},
    };
    std::vector<BYTE> plain;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TarnSurface* s = new TarnSurface();
        made.push_back(s);
        ASSERT_EQ(s->Create(screen, c.file.c_str(), 1), 1);
        ASSERT_EQ(s->HasAlpha(), c.plane ? 1 : 0);
        if (!c.plane) continue;
        const std::vector<BYTE> plane = Plane(s);
        ASSERT_EQ(plane.size(), static_cast<size_t>(s->width * s->height));
        if (c.file.find("alpha-0") != std::string::npos) {
            EXPECT_EQ(plane, std::vector<BYTE>(plane.size(), 0));
        }
        if (c.file.find("basn6a08") != std::string::npos) plain = plane;
        if (c.file.find("basi6a08") != std::string::npos) {
            EXPECT_EQ(plane, plain);
        }
    }
}

// Every vector kernel this processor runs (not only the widest, which BlendRect picks) gives the
// reference's bytes at every depth, over row lengths around every vector width, with and without
// a key, at the alphas that matter and over an alpha plane; nothing past a row's pixels changes.
// Then the entries themselves, alpha above 256 included. (The fuzzer tries much more; this is the
// quick guard.)
TEST(BlendRoutines, FastEqualsReference) {
    const struct {
        const char* name;
        BlendKernel run;
        bool runs;
    } kernels[] = {
        {"baseline vectors", BlendRowsBaseline, true},
#if TARN_BLEND_WIDE_VECTORS
        {"AVX2", BlendRowsAvx2, tarn::cpu::HasAvx2()},
        {"AVX-512BW", BlendRowsAvx512, tarn::cpu::HasAvx512Bw()},
#endif
    };
    uint32_t state = 7;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int depth : kDepths) {
        const int bytes = BytesPerPixel(depth);
        for (int width : {1, 5, 15, 16, 17, 31, 32, 33, 63, 64, 65, 130}) {
            const long pitch = width * bytes + 5;
            std::vector<BYTE> src(pitch * 3 + 1), dst(pitch * 3 + 1), plane(width * 3);
            for (BYTE& b : src) b = static_cast<BYTE>(next() & 0x83);
            for (BYTE& b : dst) b = static_cast<BYTE>(next());
            for (BYTE& b : plane) b = static_cast<BYTE>(next());
            const PixelRect from = {src.data() + 1, pitch, width, 3};
            const PixelRect weights = {plane.data(), width, width, 3};
            DWORD key = 0;
            std::memcpy(&key, src.data() + 1, bytes);
            auto into = [&](std::vector<BYTE>& b) {
                return PixelRect{b.data() + 1, pitch, width, 3};
            };
            for (const auto& kernel : kernels) {
                if (!kernel.runs) continue;
                SCOPED_TRACE(kernel.name);
                for (bool keyed : {false, true})
                    for (int alpha : {0, 1, 127, 128, 255, 256}) {
                        std::vector<BYTE> fast = dst, reference = dst;
                        kernel.run(depth, into(fast), from, nullptr, alpha, {keyed, key});
                        BlendRectReference(depth, into(reference), from, alpha, {keyed, key});
                        ASSERT_EQ(fast, reference) << depth << " bits, " << width << " wide, alpha "
                                                   << alpha << (keyed ? ", keyed" : "");
                    }
                std::vector<BYTE> fast = dst, reference = dst;
                kernel.run(depth, into(fast), from, &weights, 0, {false, 0});
                AlphaRectReference(depth, into(reference), from, weights);
                ASSERT_EQ(fast, reference) << depth << " bits, " << width << " wide, alpha plane";
            }
            for (int alpha : {-5, 128, 300}) {
                std::vector<BYTE> fast = dst, reference = dst;
                BlendRect(depth, into(fast), from, alpha, {true, key});
                BlendRectReference(depth, into(reference), from, alpha, {true, key});
                ASSERT_EQ(fast, reference) << depth << " bits, " << width << " wide, alpha "
                                           << alpha << ", through BlendRect";
            }
            std::vector<BYTE> fast = dst, reference = dst;
            AlphaRect(depth, into(fast), from, weights);
            AlphaRectReference(depth, into(reference), from, weights);
            ASSERT_EQ(fast, reference) << depth << " bits, " << width << " wide, through AlphaRect";
        }
    }
}

// A frame of sprite work allocates nothing: every call, after a first round.
TEST_F(SpriteTest, CallsAllocateNothing) {
    TarnSurface* sprite = Make(16, 64, 64, 13);
    TarnSurface* dest = Make(16, 640, 480, 14);
    std::vector<BYTE> bgra(64 * 64 * 4, 0x80);
    ASSERT_EQ(sprite->SetAlphaPlane(bgra.data(), 64 * 4, 64, 64), 0);
    ASSERT_EQ(sprite->SetColourKey(0xF81F), DD_OK);
    const RECT big = {10, 10, 138, 138};
    RECT box = {5, 5, 300, 200};
    auto frame = [&] {
        sprite->CopyKeyedTo(dest, -10, 20, nullptr);
        sprite->StretchTo(dest, &big, nullptr, TARN_COPY_KEYED);
        sprite->BlendTo(dest, 600, 450, nullptr, 128);
        sprite->AlphaBlendTo(dest, 30, 30, nullptr);
        dest->DrawLine(-5, -5, 700, 300, 0xFFFF);
        dest->DrawRect(&box, 0x1234);
        dest->FillRect(&box, 0x4321);
        dest->DrawCircle(320, 240, 100, 0x07E0);
        dest->FillCircle(320, 240, 50, 0x001F);
        sprite->SetColourKeyRGB(255, 0, 255);
    };
    frame();
    const long before = AllocationCount();
    for (int i = 0; i < 10; ++i) frame();
    EXPECT_EQ(AllocationCount() - before, 0);
}

// Out of memory, the calls that make or replace an alpha plane end by their result, never by an
// exception: a picture with alpha created, its plane set, the picture lost and then locked,
// restored and reloaded, while every allocation of the plane's size fails.
TEST_F(SpriteTest, NoExceptionLeavesTheAlphaPlaneCalls) {
    const int w = 61, h = 7; // a plane of 427 bytes, a size nothing else here asks for
    fixtures::TgaFile tga;
    tga.depth = 32;
    tga.width = w;
    tga.height = h;
    tga.descriptor = 0x28;
    for (int i = 0; i < w * h; ++i) fixtures::Put32(tga.pixels, 0x80102030u + i);
    const fixtures::Bytes file = tga.Build();
    const std::string path = testing::TempDir() + "plane_picture.tga";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    const std::vector<BYTE> rows(static_cast<size_t>(w) * h * 4, 0x40);

    TarnSurface* picture = new TarnSurface();
    made.push_back(picture);
    bool escaped = false;
    int created = 0, set = 0, locked = 0;
    HRESULT restored = 0, reloaded = 0;
    FailAllocationsOf(static_cast<size_t>(w) * h);
    try {
        created = picture->Create(screen, path.c_str(), 0);
        set = picture->SetAlphaPlane(rows.data(), w * 4, w, h);
        LoseDisplay();
        locked = picture->Lock();
        if (locked > 0) picture->Unlock();
        LoseDisplay();
        restored = picture->Restore();
        reloaded = picture->ReloadPixels(nullptr);
    } catch (...) {
        escaped = true;
    }
    FailAllocationsOf(0);
    EXPECT_FALSE(escaped);
    EXPECT_EQ(created, 1);
    EXPECT_TRUE(set == 0 || set == -1) << set;
    EXPECT_EQ(locked, 1);
    EXPECT_EQ(restored, DD_OK);
    EXPECT_EQ(reloaded, DD_OK);
    EXPECT_EQ(picture->HasAlpha(), 1);
}

} // namespace
