// CopyTurnedTo on surfaces of every depth of the headless host: quarter turns and mirrors against
// plain copies with their pixels moved, other angles and scales against a plain inverse mapping
// of each destination pixel's centre (exact by nearest sample, within one step bilinear), keys,
// alpha planes and opacity combined, clipping, bad input, lost surfaces and no allocation per
// call. Every check compares the whole destination, so a stray pixel anywhere fails.
#include "display/TarnScreen.h"
#include "surface/internal/BlendRoutines.h"
#include "surface/internal/TurnRoutines.h"
#include "surface/TarnSurface.h"

#include "support/AllocationCounter.h"
#include "support/HeadlessTest.h"
#include "support/ScreenFixture.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace {

using tarn::platform::LiveObjects;

const int kDepths[] = {8, 15, 16, 24, 32};
typedef std::vector<DWORD> Pixels;

// A distinct value per pixel using every bit of the depth's channels.
DWORD Pattern(int depth, int x, int y, DWORD seed) {
    DWORD v = static_cast<DWORD>(x) * 0x9E3779B1u + static_cast<DWORD>(y) * 0x85EBCA77u + seed;
    v ^= v >> 13;
    v *= 0xC2B2AE35u;
    v ^= v >> 16;
    return depth == 8    ? v & 0xFF
           : depth == 15 ? v & 0x7FFF
           : depth == 16 ? v & 0xFFFF
                         : v & 0xFFFFFF;
}

// Channel fields (shift, width) of a direct-colour depth, blue first.
struct Channels {
    int shift[3], width[3];
};
Channels ChannelsOf(int depth) {
    if (depth == 15) return {{0, 5, 10}, {5, 5, 5}};
    if (depth == 16) return {{0, 5, 11}, {5, 6, 5}};
    return {{0, 8, 16}, {8, 8, 8}};
}
int Channel(int depth, DWORD v, int c) {
    const Channels f = ChannelsOf(depth);
    return static_cast<int>(v >> f.shift[c]) & ((1 << f.width[c]) - 1);
}

// The blend rule per channel: d + ((s - d) * a >> 8).
DWORD Mix(int depth, DWORD d, DWORD s, int a) {
    const Channels f = ChannelsOf(depth);
    DWORD out = 0;
    for (int c = 0; c < 3; ++c) {
        const int dc = Channel(depth, d, c), sc = Channel(depth, s, c);
        out |= static_cast<DWORD>(dc + (((sc - dc) * a) >> 8)) << f.shift[c];
    }
    return out;
}

class TurnTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        host->Config().pitchPadding = 3;
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

    TarnSurface* Make(int depth, int w, int h, DWORD seed, DWORD caps = DDSCAPS_SYSTEMMEMORY) {
        const DDPIXELFORMAT format = FormatOf(depth);
        TarnSurface* s = WrapOffscreenSurface(screen, w, h, caps, &format);
        made.push_back(s);
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
            for (int x = 0; x < s->width; ++x)
                for (int i = 0; i < bytes; ++i)
                    static_cast<BYTE*>(
                        s->surfaceDesc.lpSurface)[y * s->surfaceDesc.lPitch + x * bytes + i] =
                        static_cast<BYTE>(pixels[y * s->width + x] >> (8 * i));
        ASSERT_EQ(s->Unlock(), 0);
    }

    static Pixels Read(TarnSurface* s) {
        Pixels out;
        if (s->Lock() != 1) return out;
        const int bytes = BytesPerPixel(s->pixelLayout.depth);
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) {
                DWORD v = 0;
                for (int i = 0; i < bytes; ++i)
                    v |= static_cast<DWORD>(static_cast<const BYTE*>(
                             s->surfaceDesc.lpSurface)[y * s->surfaceDesc.lPitch + x * bytes + i])
                         << (8 * i);
                out.push_back(v);
            }
        s->Unlock();
        return out;
    }

    // Pixels equal, or (tolerance 1) each channel within one step; the first difference shown.
    static ::testing::AssertionResult Near(const Pixels& got, const Pixels& want, int w, int depth,
                                           int tolerance) {
        if (got.size() != want.size())
            return ::testing::AssertionFailure() << "sizes " << got.size() << " " << want.size();
        for (size_t i = 0; i < got.size(); ++i) {
            bool close = got[i] == want[i];
            if (!close && tolerance > 0 && depth != 8) {
                close = true;
                for (int c = 0; c < 3; ++c)
                    close = close && std::abs(Channel(depth, got[i], c) -
                                              Channel(depth, want[i], c)) <= tolerance;
            }
            if (!close)
                return ::testing::AssertionFailure()
                       << "pixel (" << i % w << ", " << i / w << ") is 0x" << std::hex << got[i]
                       << ", expected 0x" << want[i];
        }
        return ::testing::AssertionSuccess();
    }

    TarnScreen* screen = nullptr;
    std::vector<TarnSurface*> made;
};

bool InClip(const RECT& c, int x, int y) {
    return x >= c.left && x < c.right && y >= c.top && y < c.bottom;
}

// Quarter turns and mirrors, by nearest or bilinear sample, are the source's pixels moved: with
// the pivot on the source's top-left corner, source pixel (i, j) is first mirrored about the
// pivot, then turned by whole quarters (a quarter clockwise takes (p, q) to (-1 - q, p)), and
// lands at (x, y) plus the result. Angles outside 0-360 count the same. The default pivot is the
// middle: a 6 x 4 sprite turned half round stays on [x - 3, x + 3) x [y - 2, y + 2).
TEST_F(TurnTest, QuarterTurnsAndMirrorsMoveWholePixels) {
    const struct {
        float degrees;
        int quarters;
        DWORD flags;
    } turns[] = {
        {0, 0, 0},
        {90, 1, 0},
        {180, 2, 0},
        {270, 3, 0},
        {-90, 3, 0},
        {450, 1, 0},
        {0, 0, TARN_COPY_FLIP_X},
        {0, 0, TARN_COPY_FLIP_Y},
        {90, 1, TARN_COPY_FLIP_X | TARN_COPY_FLIP_Y},
        {270, 3, TARN_COPY_FLIP_Y},
    };
    const struct {
        const char* name;
        int x, y;
    } places[] = {{"inside", 8, 6}, {"cut top-left", 3, 2}, {"cut bottom-right", 13, 10}};
    const RECT clip = {2, 1, 15, 11};
    const RECT part = {1, 1, 6, 4}; // a 5 x 3 source rectangle
    for (int depth : kDepths) {
        TarnSurface* sprite = Make(depth, 7, 5, 1);
        const Pixels s = Read(sprite);
        TarnSurface* dest = Make(depth, 16, 12, 2);
        dest->SetClipArea(&clip);
        const Pixels background = Read(dest);
        for (DWORD smooth : {DWORD{0}, TARN_COPY_SMOOTH}) {
            if (depth == 8 && smooth) continue;
            for (const auto& t : turns)
                for (const auto& p : places) {
                    SCOPED_TRACE(std::to_string(depth) + " bits, " + std::to_string(t.degrees) +
                                 " degrees, flags " + std::to_string(t.flags | smooth) + ", " +
                                 p.name);
                    Pixels want = background;
                    for (int j = 0; j < 3; ++j)
                        for (int i = 0; i < 5; ++i) {
                            int u = (t.flags & TARN_COPY_FLIP_X) ? -1 - i : i;
                            int v = (t.flags & TARN_COPY_FLIP_Y) ? -1 - j : j;
                            for (int q = 0; q < t.quarters; ++q) {
                                const int turned = -1 - v;
                                v = u;
                                u = turned;
                            }
                            if (InClip(clip, p.x + u, p.y + v))
                                want[(p.y + v) * 16 + p.x + u] = s[(1 + j) * 7 + 1 + i];
                        }
                    Write(dest, background);
                    TarnTurn turn;
                    turn.degrees = t.degrees;
                    turn.pivotX = turn.pivotY = 0;
                    turn.flags = t.flags | smooth;
                    EXPECT_EQ(sprite->CopyTurnedTo(dest, p.x, p.y, &part, turn), 0);
                    EXPECT_TRUE(Near(Read(dest), want, 16, depth, 0));
                }
        }
        // The default pivot, half round or mirrored both ways: the same pixels.
        for (DWORD flags : {DWORD{0}, TARN_COPY_FLIP_X | TARN_COPY_FLIP_Y}) {
            const RECT six = {0, 0, 6, 4};
            Pixels want = background;
            for (int j = 0; j < 4; ++j)
                for (int i = 0; i < 6; ++i) {
                    const int x = 10 - i, y = 7 - j;
                    if (InClip(clip, x, y)) want[y * 16 + x] = s[j * 7 + i];
                }
            Write(dest, background);
            TarnTurn turn;
            turn.degrees = flags ? 0 : 180;
            turn.flags = flags;
            EXPECT_EQ(sprite->CopyTurnedTo(dest, 8, 6, &six, turn), 0);
            EXPECT_TRUE(Near(Read(dest), want, 16, depth, 0)) << depth << " bits, middle pivot";
        }
    }
}

// The plain reference: each destination pixel's centre mapped back through the turn's inverse
// matrix (its entries and the pivot taken to 32 fractional bits, as the library keeps them; the
// sum is then exact), and the source there sampled by nearest pixel or bilinearly.
struct Case {
    const char* name;
    float degrees, scaleX, scaleY, pivotX, pivotY;
    DWORD flags;
    int alpha;
};

Pixels Reference(int depth, const Pixels& src, int srcWidth, const RECT& rect, const Pixels& bg,
                 int w, const RECT& clip, int x, int y, const Case& c, bool keyOn, DWORD key,
                 const std::vector<BYTE>& plane) {
    const double turn = std::fmod(std::fmod(static_cast<double>(c.degrees), 360.0) + 360.0, 360.0);
    const double radians = turn * (3.14159265358979323846 / 180.0);
    const double cs = std::cos(radians), sn = std::sin(radians);
    const double mx = (c.flags & TARN_COPY_FLIP_X) ? -c.scaleX : c.scaleX;
    const double my = (c.flags & TARN_COPY_FLIP_Y) ? -c.scaleY : c.scaleY;
    auto fixed = [](double v) { return static_cast<int64_t>(std::llround(std::ldexp(v, 32))); };
    const int64_t xx = fixed(cs / mx), xy = fixed(sn / mx), yx = fixed(-sn / my),
                  yy = fixed(cs / my);
    const double pivotX =
        rect.left + (c.pivotX == TARN_TURN_CENTRE ? (rect.right - rect.left) / 2.0 : c.pivotX);
    const double pivotY =
        rect.top + (c.pivotY == TARN_TURN_CENTRE ? (rect.bottom - rect.top) / 2.0 : c.pivotY);
    const bool smooth = (c.flags & TARN_COPY_SMOOTH) != 0;
    auto opacity = [&](int px, int py, DWORD* v) -> int {
        if (px < rect.left || px >= rect.right || py < rect.top || py >= rect.bottom) return 0;
        *v = src[py * srcWidth + px];
        if (keyOn && *v == key) return 0;
        if (!plane.empty()) {
            const int a = plane[py * srcWidth + px];
            return a + (a >> 7);
        }
        return 256;
    };
    Pixels out = bg;
    for (int dy = clip.top; dy < clip.bottom; ++dy)
        for (int dx = clip.left; dx < clip.right; ++dx) {
            // Doubled positions in units of 2^-32 pixels: exact integers.
            const int64_t u2 = 2 * dx + 1 - 2 * x, v2 = 2 * dy + 1 - 2 * y;
            const int64_t sx = 2 * fixed(pivotX) + xx * u2 + xy * v2;
            const int64_t sy = 2 * fixed(pivotY) + yx * u2 + yy * v2;
            DWORD& d = out[dy * w + dx];
            if (!smooth) {
                const int px =
                    static_cast<int>(std::floor(std::ldexp(static_cast<double>(sx), -33)));
                const int py =
                    static_cast<int>(std::floor(std::ldexp(static_cast<double>(sy), -33)));
                DWORD v = 0;
                const int a = opacity(px, py, &v) * c.alpha >> 8;
                if (a >= 256)
                    d = v;
                else if (a > 0)
                    d = Mix(depth, d, v, a);
                continue;
            }
            const double bx = std::ldexp(static_cast<double>(sx), -33) - 0.5;
            const double by = std::ldexp(static_cast<double>(sy), -33) - 0.5;
            const int x0 = static_cast<int>(std::floor(bx)), y0 = static_cast<int>(std::floor(by));
            const double fx = bx - x0, fy = by - y0;
            double cover = 0, sum[3] = {0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                DWORD v = 0;
                const double wgt = ((k & 1) ? fx : 1 - fx) * ((k >> 1) ? fy : 1 - fy);
                const int a = wgt > 0 ? opacity(x0 + (k & 1), y0 + (k >> 1), &v) : 0;
                cover += wgt * a;
                for (int ch = 0; ch < 3; ++ch) sum[ch] += wgt * a * Channel(depth, v, ch);
            }
            if (cover <= 0) continue;
            DWORD colour = 0;
            for (int ch = 0; ch < 3; ++ch)
                colour |= static_cast<DWORD>(std::lround(sum[ch] / cover))
                          << ChannelsOf(depth).shift[ch];
            const int a = static_cast<int>(std::floor(cover + 1e-9)) * c.alpha >> 8;
            if (a >= 256)
                d = colour;
            else if (a > 0)
                d = Mix(depth, d, colour, a);
        }
    return out;
}

const Case kCases[] = {
    {"30 degrees", 30, 1, 1, TARN_TURN_CENTRE, TARN_TURN_CENTRE, 0, 256},
    {"45 degrees", 45, 1, 1, TARN_TURN_CENTRE, TARN_TURN_CENTRE, 0, 256},
    {"-17 degrees, doubled", -17, 2, 2, TARN_TURN_CENTRE, TARN_TURN_CENTRE, 0, 256},
    {"123.4 degrees, 2.5 x 0.6", 123.4f, 2.5f, 0.6f, 1.25f, 3.5f, 0, 256},
    {"200 degrees, mirrored, negative scale", 200, -1.5f, 0.75f, 0, 0, TARN_COPY_FLIP_X, 256},
    {"unturned, 3x", 0, 3, 3, TARN_TURN_CENTRE, TARN_TURN_CENTRE, 0, 256},
    {"unturned, 0.4 x 1.7", 0, 0.4f, 1.7f, 2, 1, TARN_COPY_FLIP_Y, 256},
    {"80 degrees, keyed", 80, 1.3f, 1.3f, TARN_TURN_CENTRE, TARN_TURN_CENTRE, TARN_COPY_KEYED, 256},
    {"310 degrees, plane", 310, 1.8f, 1.8f, 4, 2, TARN_COPY_ALPHA, 256},
    {"10 degrees, keyed, plane, opacity 100", 10, 1.1f, 0.9f, TARN_TURN_CENTRE, TARN_TURN_CENTRE,
     TARN_COPY_KEYED | TARN_COPY_ALPHA, 100},
    {"quarter turn, 2x, opacity 200", 90, 2, 2, TARN_TURN_CENTRE, TARN_TURN_CENTRE, 0, 200},
    {"unturned, mirrored both ways, pivot off the grid", 0, 1, 1, 2.5f, 1.75f,
     TARN_COPY_FLIP_X | TARN_COPY_FLIP_Y, 256},
    {"unturned, scale -1 mirrored back, keyed, plane", 0, -1, 1, 0.3f, TARN_TURN_CENTRE,
     TARN_COPY_FLIP_X | TARN_COPY_KEYED | TARN_COPY_ALPHA, 256},
    {"unturned, mirrored, pivot 0.49 in, opacity 90", 0, 1, -1, 0.49f, -3.51f, TARN_COPY_FLIP_X,
     90},
};

// Every angle, scale, pivot and combination of key, plane and opacity, by nearest sample (exact)
// and bilinear (each channel within one step), placed inside and cut by the clip on each side.
TEST_F(TurnTest, OtherAnglesAndScalesMatchThePlainReference) {
    const int w = 40, h = 30;
    const RECT clip = {3, 2, 37, 27};
    const RECT part = {1, 2, 10, 8}; // 9 x 6
    const struct {
        const char* name;
        int x, y;
    } places[] = {{"inside", 20, 15}, {"cut top-left", 4, 3}, {"cut bottom-right", 36, 26}};
    for (int depth : kDepths) {
        TarnSurface* sprite = Make(depth, 11, 9, 3);
        Pixels s = Read(sprite);
        const DWORD key = s[3 * 11 + 4];
        for (int i : {2 * 11 + 1, 5 * 11 + 6, 7 * 11 + 9}) s[i] = key;
        Write(sprite, s);
        ASSERT_EQ(sprite->SetColourKey(key), DD_OK);
        std::vector<BYTE> bgra(11 * 9 * 4, 0), plane(11 * 9);
        for (int i = 0; i < 11 * 9; ++i) plane[i] = bgra[i * 4 + 3] = static_cast<BYTE>(i * 37);
        ASSERT_EQ(sprite->SetAlphaPlane(bgra.data(), 11 * 4, 11, 9), 0);
        TarnSurface* dest = Make(depth, w, h, 4);
        dest->SetClipArea(&clip);
        const Pixels background = Read(dest);
        for (Case c : kCases)
            for (DWORD smooth : {DWORD{0}, TARN_COPY_SMOOTH})
                for (const auto& p : places) {
                    c.flags |= smooth;
                    if (depth == 8 &&
                        (c.flags & (TARN_COPY_SMOOTH | TARN_COPY_ALPHA) || c.alpha < 256))
                        continue;
                    SCOPED_TRACE(std::to_string(depth) + " bits, " + c.name + ", " + p.name +
                                 (smooth ? ", smooth" : ""));
                    TarnTurn turn;
                    turn.degrees = c.degrees;
                    turn.scaleX = c.scaleX;
                    turn.scaleY = c.scaleY;
                    turn.pivotX = c.pivotX;
                    turn.pivotY = c.pivotY;
                    turn.flags = c.flags;
                    turn.alpha = c.alpha;
                    Write(dest, background);
                    EXPECT_EQ(sprite->CopyTurnedTo(dest, p.x, p.y, &part, turn), 0);
                    const std::vector<BYTE> weights =
                        (c.flags & TARN_COPY_ALPHA) ? plane : std::vector<BYTE>();
                    const Pixels want =
                        Reference(depth, s, 11, part, background, w, clip, p.x, p.y, c,
                                  (c.flags & TARN_COPY_KEYED) != 0, key, weights);
                    EXPECT_TRUE(Near(Read(dest), want, w, depth, smooth ? 1 : 0));
                }
    }
}

// The fast routine (spans found by division, positions stepped) and the reference (every pixel
// of the box worked out afresh and tested) give the same bytes for sprites far larger than the
// destination, tiny scales, pivots far off the sprite, angles close to the quarters, and rows
// read whole forwards or backwards (a plain or mirrored copy, whole vectors at a time).
TEST_F(TurnTest, FastRoutineMatchesItsReferenceAtTheExtremes) {
    const struct {
        double degrees, scaleX, scaleY, pivotX, pivotY;
        int x, y;
        bool smooth;
    } cases[] = {
        {89.999, 1, 1, 16, 16, 20, 20, false}, {0.001, 1, 1, 16, 16, 20, 20, true},
        {33, 40, 40, 16, 16, 20, 20, false},   {33, 40, 40, 16, 16, 20, 20, true},
        {271, 0.01, 0.02, 3, 5, 7, 9, false},  {12, 1, 1, -500, 300, 20, 20, false},
        {-45, 7.5, -3, 0, 0, -3, 45, true},    {180.5, 1, 1, 31.9, 0.1, 0, 0, true},
        {180, 1, 1, 16, 16, 20, 20, false},    {0, 1, 1, 16, 16, 19, 20, false},
    };
    for (int depth : {16, 32}) {
        const int bytes = BytesPerPixel(depth);
        const int sw = 32, sh = 32, dw = 41, dh = 39;
        std::vector<BYTE> src(sw * sh * bytes), plane(sw * sh);
        for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<BYTE>(i * 131 + (i >> 5));
        for (size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<BYTE>(i * 7);
        if (depth == 32)
            for (size_t i = 3; i < src.size(); i += 4) src[i] = 0;
        const RECT bounds = {1, 2, 30, 31}, clip = {2, 3, 39, 36};
        for (const auto& c : cases)
            for (bool withPlane : {false, true}) {
                TurnMap map;
                if (!MakeTurnMap(bounds, c.pivotX, c.pivotY, c.x, c.y, c.degrees, c.scaleX,
                                 c.scaleY, false, true, c.smooth, clip, &map))
                    continue;
                EXPECT_TRUE(map.box.left >= clip.left && map.box.right <= clip.right &&
                            map.box.top >= clip.top && map.box.bottom <= clip.bottom);
                std::vector<BYTE> fast(dw * dh * bytes, 0x5A), slow = fast;
                const TurnExtras extras = {{false, 0}, withPlane ? plane.data() : nullptr, sw, 256};
                const PixelRect from = {src.data(), sw * bytes, sw, sh};
                TurnRect(depth, PixelRect{fast.data(), dw * bytes, dw, dh}, from, map, extras);
                TurnRectReference(depth, PixelRect{slow.data(), dw * bytes, dw, dh}, from, map,
                                  extras);
                EXPECT_EQ(fast, slow) << depth << " bits, " << c.degrees << " degrees, scale "
                                      << c.scaleX << (withPlane ? ", plane" : "");
            }
    }
}

// A mirrored row of any length, at 2, 3 and 4 bytes a pixel: whole vectors of every width the
// processor has, the part left over after them (under a mask or pixel by pixel), and rows shorter
// than one vector. Each pixel lands reversed and the pixels on either side of the row, and the
// rows above and below, keep their bytes.
TEST_F(TurnTest, MirroredRowsOfEveryLengthAreReversedExactly) {
    for (int depth : {16, 24, 32}) {
        const int bytes = BytesPerPixel(depth);
        for (int w :
             {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 100, 128, 161, 200}) {
            const int gap = 3, dw = w + 2 * gap, dh = 3;
            std::vector<BYTE> src(static_cast<size_t>(w) * bytes);
            for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<BYTE>(i * 37 + 11);
            std::vector<BYTE> dst(static_cast<size_t>(dw) * dh * bytes, 0xA5);
            // The pivot on the source's left edge, placed right of the row: pixel i lands on
            // w + gap - 1 - i of the middle row.
            TurnMap map;
            ASSERT_TRUE(MakeTurnMap(RECT{0, 0, w, 1}, 0, 0, w + gap, 1, 0, 1, 1, true, false, false,
                                    RECT{0, 0, dw, dh}, &map));
            const TurnExtras extras = {{false, 0}, nullptr, w, 256};
            TurnRect(depth, PixelRect{dst.data(), dw * bytes, dw, dh},
                     PixelRect{src.data(), w * bytes, w, 1}, map, extras);
            std::vector<BYTE> want(dst.size(), 0xA5);
            for (int i = 0; i < w; ++i)
                for (int k = 0; k < bytes; ++k)
                    want[(static_cast<size_t>(dw) + w + gap - 1 - i) * bytes + k] =
                        src[static_cast<size_t>(i) * bytes + k];
            EXPECT_EQ(dst, want) << depth << " bits, " << w << " pixels";
        }
    }
}

// Bad input gets a clear result and leaves the destination as it was; what draws nothing says so.
TEST_F(TurnTest, BadInputIsRefusedAndNothingIsDrawn) {
    TarnSurface* a = Make(16, 8, 8, 5);
    TarnSurface* b = Make(16, 20, 20, 6);
    TarnSurface* wide = Make(32, 8, 8, 7);
    TarnSurface* indexed = Make(8, 8, 8, 8);
    TarnSurface* indexedDest = Make(8, 20, 20, 9);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const RECT empty = {3, 3, 3, 6}, outside = {20, 20, 30, 30};
    auto with = [](auto change) {
        TarnTurn t;
        change(t);
        return t;
    };
    const struct {
        const char* name;
        TarnSurface *from, *to;
        const RECT* rect;
        TarnTurn turn;
        int result;
    } cases[] = {
        {"no destination", a, nullptr, nullptr, TarnTurn{}, -1},
        {"other depth", a, wide, nullptr, TarnTurn{}, DDERR_INVALIDPIXELFORMAT},
        {"onto itself", a, a, nullptr, TarnTurn{}, DDERR_INVALIDPARAMS},
        {"unknown flag", a, b, nullptr, with([](TarnTurn& t) { t.flags = 0x100; }),
         DDERR_INVALIDPARAMS},
        {"opacity 257", a, b, nullptr, with([](TarnTurn& t) { t.alpha = 257; }),
         DDERR_INVALIDPARAMS},
        {"opacity -1", a, b, nullptr, with([](TarnTurn& t) { t.alpha = -1; }), DDERR_INVALIDPARAMS},
        {"angle NaN", a, b, nullptr, with([&](TarnTurn& t) { t.degrees = nan; }),
         DDERR_INVALIDPARAMS},
        {"scale infinite", a, b, nullptr, with([&](TarnTurn& t) { t.scaleY = inf; }),
         DDERR_INVALIDPARAMS},
        {"scale 2^17", a, b, nullptr, with([](TarnTurn& t) { t.scaleX = 131072; }),
         DDERR_INVALIDPARAMS},
        {"pivot NaN", a, b, nullptr, with([&](TarnTurn& t) { t.pivotX = nan; }),
         DDERR_INVALIDPARAMS},
        {"pivot 2^25 away", a, b, nullptr, with([](TarnTurn& t) { t.pivotY = 33554432; }),
         DDERR_INVALIDPARAMS},
        {"8 bits smooth", indexed, indexedDest, nullptr,
         with([](TarnTurn& t) { t.flags = TARN_COPY_SMOOTH; }), DDERR_INVALIDPIXELFORMAT},
        {"8 bits plane", indexed, indexedDest, nullptr,
         with([](TarnTurn& t) { t.flags = TARN_COPY_ALPHA; }), DDERR_INVALIDPIXELFORMAT},
        {"8 bits opacity", indexed, indexedDest, nullptr, with([](TarnTurn& t) { t.alpha = 128; }),
         DDERR_INVALIDPIXELFORMAT},
        {"scale 0", a, b, nullptr, with([](TarnTurn& t) { t.scaleX = 0; }), 0},
        {"opacity 0", a, b, nullptr, with([](TarnTurn& t) { t.alpha = 0; }), 0},
        {"empty rectangle", a, b, &empty, TarnTurn{}, 0},
        {"rectangle outside the source", a, b, &outside, TarnTurn{}, 0},
        {"pivot far off the destination", a, b, nullptr, with([](TarnTurn& t) { t.degrees = 33; }),
         0},
    };
    for (const auto& c : cases) {
        const Pixels before = c.to != nullptr ? Read(c.to) : Pixels();
        const int x = std::string(c.name) == "pivot far off the destination" ? -100 : 10;
        EXPECT_EQ(c.from->CopyTurnedTo(c.to, x, 10, c.rect, c.turn), c.result) << c.name;
        if (c.to != nullptr) {
            EXPECT_EQ(Read(c.to), before) << c.name;
        }
    }
    TarnSurface none;
    EXPECT_EQ(none.CopyTurnedTo(b, 0, 0, nullptr, TarnTurn{}), -1);
}

// A turned copy that finds either surface lost restores it and draws once more; while the display
// stays away, the restore's failure is the result. A caller's lock nests.
TEST_F(TurnTest, LostSurfacesAreRestoredAndDrawnAgain) {
    TarnSurface* sprite = Make(16, 6, 4, 9, DDSCAPS_SYSTEMMEMORY);
    TarnSurface* dest = Make(16, 16, 10, 10, DDSCAPS_VIDEOMEMORY);
    TarnTurn turn;
    turn.degrees = 180;
    turn.pivotX = turn.pivotY = 0;
    TakeDisplayAway();
    EXPECT_TRUE(FAILED(sprite->CopyTurnedTo(dest, 6, 4, nullptr, turn)));
    GiveDisplayBack();
    EXPECT_EQ(sprite->CopyTurnedTo(dest, 6, 4, nullptr, turn), 0);
    EXPECT_EQ(dest->surface->IsLost(), DD_OK);
    const Pixels s = Read(sprite), d = Read(dest);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 6; ++i) EXPECT_EQ(d[(3 - j) * 16 + 5 - i], s[j * 6 + i]) << i << j;
    ASSERT_EQ(dest->Lock(), 1);
    EXPECT_EQ(sprite->CopyTurnedTo(dest, 6, 4, nullptr, turn), 0);
    EXPECT_EQ(dest->lockCount, 1u);
    EXPECT_EQ(dest->Unlock(), 0);
}

// A frame of turned sprites allocates nothing.
TEST_F(TurnTest, CallsAllocateNothing) {
    TarnSurface* sprite = Make(32, 64, 64, 13);
    TarnSurface* dest = Make(32, 640, 480, 14);
    std::vector<BYTE> bgra(64 * 64 * 4, 0x80);
    ASSERT_EQ(sprite->SetAlphaPlane(bgra.data(), 64 * 4, 64, 64), 0);
    auto frame = [&] {
        TarnTurn turn;
        for (int i = 0; i < 8; ++i) {
            turn.degrees = 37.0f * i;
            turn.flags = TARN_COPY_ALPHA | (i % 2 ? TARN_COPY_SMOOTH : 0);
            sprite->CopyTurnedTo(dest, 80 * i, 240, nullptr, turn);
        }
    };
    frame();
    const long before = AllocationCount();
    frame();
    EXPECT_EQ(AllocationCount() - before, 0);
}

} // namespace
