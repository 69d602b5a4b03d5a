// Tests of TarnSurface's per-depth drawing routines (plot, blend, read, vertical and horizontal
// line) at the five depth codes 8, 15, 16, 24 and 32, always called through the slots that
// SelectPixelRoutines fills.
//
// Most tests draw on a Canvas: surface memory of our own with odd padding at the end of every row
// (so a routine that steps by width instead of pitch, or stores words only at aligned addresses,
// shows) and the first pixel at an odd address, inside a guard band of bytes that must stay
// untouched. A test writes what it expects into a copy of the memory and compares every byte, so
// a stray write anywhere (guard band, row padding, outside the clip area) fails. One test draws
// through a real locked surface of the headless host at every depth.
#include "support/HeadlessTest.h"
#include "support/ScreenFixture.h"

#include "surface/TarnSurface.h"

#include <ddraw.h>

#include <climits>
#include <cstring>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Depth {
    int depth;    // depth code
    int bytes;    // per pixel
    DWORD colour; // a colour using every byte of the pixel, none of them equal to the guard byte
};

const Depth kDepths[] = {
    {8, 1, 0x5A}, {15, 2, 0x5AC3}, {16, 2, 0xA5C3}, {24, 3, 0xC3A55A}, {32, 4, 0x00C3A55A},
};

const BYTE kGuard = 0xEE;
const int kWidth = 80;
const int kHeight = 24;
const int kPadding = 3;            // bytes at the end of every row
const int kGuardRows = 2;          // above and below the surface
const RECT kClip = {3, 2, 77, 21}; // left, top, right, bottom

// A surface of kWidth x kHeight pixels over memory of our own, clipped to kClip, with its
// routines selected for `d`. `expected` starts as a copy of the memory; the test writes what it
// expects there and Matches() compares the two byte for byte.
class Canvas {
public:
    explicit Canvas(const Depth& d)
        : d(d), pitch(kWidth * d.bytes + kPadding),
          origin(static_cast<size_t>(kGuardRows) * pitch + 1),
          memory(origin + static_cast<size_t>(kHeight + kGuardRows) * pitch, kGuard),
          expected(memory) {
        surface.pixelLayout.depth = d.depth;
        surface.SelectPixelRoutines();
        surface.width = kWidth;
        surface.height = kHeight;
        surface.surfaceDesc.lpSurface = memory.data() + origin;
        surface.surfaceDesc.lPitch = pitch;
        surface.clipArea = kClip;
    }

    // Back to all guard bytes, in the memory and in the expectation.
    void Clear() {
        memory.assign(memory.size(), kGuard);
        expected = memory;
    }

    // Little-endian pixel value at (x, y): into the expectation, or into both (a destination
    // pixel the routine will read).
    void Expect(int x, int y, DWORD value) { Put(expected, x, y, value); }
    void Preset(int x, int y, DWORD value) {
        Put(memory, x, y, value);
        Put(expected, x, y, value);
    }
    DWORD At(int x, int y) const {
        DWORD value = 0;
        for (int i = 0; i < d.bytes; ++i) value |= DWORD{memory[Offset(x, y) + i]} << (8 * i);
        return value;
    }

    // Every byte as expected; otherwise says where the first wrong byte lies.
    ::testing::AssertionResult Matches() const {
        if (memory == expected) return ::testing::AssertionSuccess();
        for (size_t i = 0; i < memory.size(); ++i) {
            if (memory[i] == expected[i]) continue;
            char what[160];
            const long rel = static_cast<long>(i) - static_cast<long>(origin);
            const long row = rel < 0 ? -1 - (-1 - rel) / pitch : rel / pitch;
            const long col = rel - row * pitch;
            if (row < 0 || row >= kHeight)
                std::snprintf(what, sizeof what, "guard byte %ld of row %ld", col, row);
            else if (col >= static_cast<long>(kWidth) * d.bytes)
                std::snprintf(what, sizeof what, "padding byte of row %ld", row);
            else
                std::snprintf(what, sizeof what, "pixel (%ld, %ld) byte %ld", col / d.bytes, row,
                              col % d.bytes);
            return ::testing::AssertionFailure()
                   << "depth " << d.depth << ": " << what << " is 0x" << std::hex << int{memory[i]}
                   << ", expected 0x" << int{expected[i]};
        }
        return ::testing::AssertionSuccess();
    }

    const Depth& d;
    const int pitch;
    const size_t origin;
    std::vector<BYTE> memory;
    std::vector<BYTE> expected;
    TarnSurface surface;

private:
    size_t Offset(int x, int y) const {
        return origin + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * d.bytes;
    }
    void Put(std::vector<BYTE>& to, int x, int y, DWORD value) const {
        for (int i = 0; i < d.bytes; ++i)
            to[Offset(x, y) + i] = static_cast<BYTE>(value >> (8 * i));
    }
};

std::string Named(const Depth& d, const char* what) {
    return "depth " + std::to_string(d.depth) + ": " + what;
}

class PixelRoutines : public HeadlessTest {};

// Points on the clip area's left and top edges are drawn, on its right and bottom edges not;
// plotPixel and blendPixel (at full weight) clip alike.
TEST_F(PixelRoutines, PointsAreClippedToTheClipArea) {
    struct Point {
        const char* what;
        int x, y;
        bool drawn;
    };
    const Point points[] = {
        {"top-left corner", 3, 2, true},
        {"bottom-right corner", 76, 20, true},
        {"inside", 10, 10, true},
        {"on clip right", 77, 10, false},
        {"on clip bottom", 10, 21, false},
        {"left of clip", 2, 10, false},
        {"above clip", 10, 1, false},
        {"far outside", -1000, 100000, false},
        {"extremes", INT_MIN, INT_MAX, false},
    };
    for (const Depth& d : kDepths) {
        Canvas c(d);
        for (const Point& p : points) {
            SCOPED_TRACE(Named(d, p.what));
            c.Clear();
            EXPECT_EQ(0, (c.surface.*c.surface.plotPixel)(p.x, p.y, d.colour));
            if (p.drawn) c.Expect(p.x, p.y, d.colour);
            EXPECT_TRUE(c.Matches());

            c.Clear();
            EXPECT_EQ(0, (c.surface.*c.surface.blendPixel)(p.x, p.y, d.colour, 256));
            if (p.drawn) c.Expect(p.x, p.y, d.colour);
            EXPECT_TRUE(c.Matches());
        }
    }
}

// A line's two ends in either order, its fixed coordinate, and the span expected after clipping
// (first > last: nothing drawn).
struct LineCase {
    const char* what;
    int a, b, fixed;
    int first, last;
};

// Clip area columns 3..76, rows 2..20.
TEST_F(PixelRoutines, HorizontalLinesAreClipped) {
    const LineCase cases[] = {
        {"inside", 5, 20, 4, 5, 20},
        {"reversed ends", 20, 5, 4, 5, 20},
        {"single pixel", 5, 5, 4, 5, 5},
        {"clipped at both ends", -20, 700, 4, 3, 76},
        {"ends just before the clip area", -10, 2, 4, 1, 0},
        {"starts on the clip right", 77, 90, 4, 1, 0},
        {"ends on the clip left", -10, 3, 4, 3, 3},
        {"starts on the last column", 90, 76, 4, 76, 76},
        {"top row", 5, 20, 2, 5, 20},
        {"row above", 5, 20, 1, 1, 0},
        {"last row", 5, 20, 20, 5, 20},
        {"row on the clip bottom", 5, 20, 21, 1, 0},
        {"extremes", INT_MIN, INT_MAX, 7, 3, 76},
        {"extreme row", 5, 20, INT_MIN, 1, 0},
    };
    for (const Depth& d : kDepths) {
        Canvas c(d);
        for (const LineCase& l : cases) {
            SCOPED_TRACE(Named(d, l.what));
            c.Clear();
            EXPECT_EQ(0, (c.surface.*c.surface.horzLine)(l.a, l.b, l.fixed, d.colour));
            for (int x = l.first; x <= l.last; ++x) c.Expect(x, l.fixed, d.colour);
            EXPECT_TRUE(c.Matches());
        }
    }
}

TEST_F(PixelRoutines, VerticalLinesAreClipped) {
    const LineCase cases[] = {
        {"inside", 4, 15, 5, 4, 15},
        {"reversed ends", 15, 4, 5, 4, 15},
        {"single pixel", 5, 5, 5, 5, 5},
        {"clipped at both ends", -5, 1000, 5, 2, 20},
        {"ends just before the clip area", -10, 1, 5, 1, 0},
        {"starts on the clip bottom", 21, 30, 5, 1, 0},
        {"ends on the clip top", -10, 2, 5, 2, 2},
        {"starts on the last row", 50, 20, 5, 20, 20},
        {"left column", 4, 15, 3, 4, 15},
        {"column left of clip", 4, 15, 2, 1, 0},
        {"last column", 4, 15, 76, 4, 15},
        {"column on the clip right", 4, 15, 77, 1, 0},
        {"extremes", INT_MAX, INT_MIN, 7, 2, 20},
        {"extreme column", 4, 15, INT_MAX, 1, 0},
    };
    for (const Depth& d : kDepths) {
        Canvas c(d);
        for (const LineCase& l : cases) {
            SCOPED_TRACE(Named(d, l.what));
            c.Clear();
            EXPECT_EQ(0, (c.surface.*c.surface.vertLine)(l.a, l.b, l.fixed, d.colour));
            for (int y = l.first; y <= l.last; ++y) c.Expect(l.fixed, y, d.colour);
            EXPECT_TRUE(c.Matches());
        }
    }
}

// The 8-, 16- and 32-bit lines store a few single pixels, then 32-bit words in blocks with an
// overlapping last block, at whatever alignment the row gives; every start column and every
// length up to the full clipped width (and past both clip edges) fills exactly the pixels between
// the ends.
TEST_F(PixelRoutines, HorizontalLinesOfEveryLengthAndStart) {
    for (const Depth& d : kDepths) {
        Canvas c(d);
        for (int x1 = kClip.left - 2; x1 <= kClip.right + 1; ++x1) {
            for (int x2 = x1; x2 <= kClip.right + 1; ++x2) {
                c.Clear();
                (c.surface.*c.surface.horzLine)(x1, x2, 9, d.colour);
                for (int x = x1; x <= x2; ++x)
                    if (x >= kClip.left && x < kClip.right) c.Expect(x, 9, d.colour);
                ASSERT_TRUE(c.Matches()) << " line from " << x1 << " to " << x2;
            }
        }
    }
}

// new = d + floor((s - d) * alpha / 256) per channel, the channels put back in the depth's
// layout; bit 15 (5-5-5) and the top byte (32-bit) come out zero; alpha above 256 counts as 256.
TEST_F(PixelRoutines, BlendMixesEachChannel) {
    struct Blend {
        int depth;
        const char* what;
        DWORD dest, colour;
        WORD alpha;
        DWORD stored;
    };
    const Blend cases[] = {
        {16, "black towards white at half", 0x0000, 0xFFFF, 128, 0x7BEF},
        {16, "white towards black at half floors", 0xFFFF, 0x0000, 128, 0x7BEF},
        {16, "red towards blue keeps channels apart", 0xF800, 0x001F, 128, 0x780F},
        {16, "floor, not truncation", 0x0010, 0x0000, 1, 0x000F},
        {16, "alpha 0 keeps the destination", 0x1234, 0xFFFF, 0, 0x1234},
        {16, "alpha 256 stores the colour", 0x1234, 0xABCD, 256, 0xABCD},
        {16, "alpha above 256 counts as 256", 0x1234, 0xABCD, 300, 0xABCD},
        {16, "largest alpha counts as 256", 0xFFFF, 0x0000, 0xFFFF, 0x0000},
        {15, "black towards white at half", 0x0000, 0x7FFF, 128, 0x3DEF},
        {15, "white towards black at half floors", 0x7FFF, 0x0000, 128, 0x3DEF},
        {15, "red towards blue keeps channels apart", 0x7C00, 0x001F, 128, 0x3C0F},
        {15, "alpha 0 keeps the channels, clears bit 15", 0x9234, 0x7FFF, 0, 0x1234},
        {15, "alpha 256 stores the colour's channels", 0x8000, 0x2BCD, 256, 0x2BCD},
        {15, "alpha above 256 counts as 256", 0x0000, 0x7FFF, 257, 0x7FFF},
        {24, "towards orange at a quarter", 0x000000, 0xFF8000, 64, 0x3F2000},
        {24, "white towards black at half floors", 0xFFFFFF, 0x000000, 128, 0x7F7F7F},
        {24, "floor, not truncation", 0x000010, 0x000000, 1, 0x00000F},
        {24, "alpha 0 keeps the destination", 0x123456, 0xFFFFFF, 0, 0x123456},
        {24, "alpha 256 stores the colour", 0x123456, 0xABCDEF, 256, 0xABCDEF},
        {24, "alpha above 256 counts as 256", 0x000000, 0xFFFFFF, 1000, 0xFFFFFF},
        {32, "towards orange at a quarter", 0x000000, 0xFF8000, 64, 0x3F2000},
        {32, "white towards black at half floors", 0xFFFFFF, 0x000000, 128, 0x7F7F7F},
        {32, "alpha 0 keeps the channels, clears the top byte", 0xFF123456, 0xFFFFFF, 0, 0x123456},
        {32, "alpha 256 stores the colour, top byte clear", 0xFF000000, 0x00ABCDEF, 256, 0xABCDEF},
        {32, "alpha above 256 counts as 256", 0x000000, 0xFFFFFF, 256 + 128, 0xFFFFFF},
        {8, "alpha is ignored", 0x12, 0x34, 0, 0x34},
        {8, "any alpha stores the index", 0x12, 0x34, 128, 0x34},
    };
    for (const Blend& b : cases) {
        const Depth* d = nullptr;
        for (const Depth& each : kDepths)
            if (each.depth == b.depth) d = &each;
        ASSERT_NE(nullptr, d);
        SCOPED_TRACE(Named(*d, b.what));
        Canvas c(*d);
        c.Preset(20, 10, b.dest);
        EXPECT_EQ(0, (c.surface.*c.surface.blendPixel)(20, 10, b.colour, b.alpha));
        EXPECT_EQ(b.stored, c.At(20, 10)) << std::hex << "stored 0x" << c.At(20, 10);
        c.Expect(20, 10, b.stored);
        EXPECT_TRUE(c.Matches()); // nothing but the pixel's own bytes changed
    }
}

// readPixel returns the pixel's bytes, at any position of the surface (there is no clip test),
// zero-extended; what plotPixel wrote reads back.
TEST_F(PixelRoutines, ReadReturnsThePixelValue) {
    const int points[][2] = {
        {0, 0}, {kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}, {20, 10}};
    for (const Depth& d : kDepths) {
        Canvas c(d);
        for (const auto& p : points) {
            SCOPED_TRACE(Named(d, "read") + " at " + std::to_string(p[0]) + "," +
                         std::to_string(p[1]));
            c.Preset(p[0], p[1], d.colour);
            EXPECT_EQ(d.colour, (c.surface.*c.surface.readPixel)(p[0], p[1]));
        }
        // A round trip of every value that fits the pixel at the narrow depths, and of
        // values with every byte in use at the wide ones.
        const DWORD last = d.bytes <= 2 ? (1u << (8 * d.bytes)) - 1 : 0xFFFF;
        for (DWORD v = 0; v <= last; ++v) {
            const DWORD value = d.bytes <= 2 ? v : v * 0x10001u & (d.bytes == 3 ? 0xFFFFFFu : ~0u);
            (c.surface.*c.surface.plotPixel)(kClip.left, kClip.top, value);
            ASSERT_EQ(value, (c.surface.*c.surface.readPixel)(kClip.left, kClip.top))
                << "depth " << d.depth;
        }
    }
}

// The routines guard themselves where a slip of the caller would otherwise touch memory that
// is not the surface's: a read outside the surface gives 0, and a surface that was never locked
// (no pixel address) is neither drawn on nor read.
TEST_F(PixelRoutines, StrayCallsTouchNothing) {
    for (const Depth& d : kDepths) {
        SCOPED_TRACE(Named(d, "stray calls"));
        Canvas c(d);
        c.Preset(0, 0, d.colour);
        const int outside[][2] = {{-1, 0}, {0, -1}, {kWidth, 0}, {0, kHeight}, {INT_MIN, INT_MAX}};
        for (const auto& p : outside) EXPECT_EQ(0u, (c.surface.*c.surface.readPixel)(p[0], p[1]));

        c.surface.surfaceDesc.lpSurface = nullptr;
        EXPECT_EQ(0, (c.surface.*c.surface.plotPixel)(10, 10, d.colour));
        EXPECT_EQ(0, (c.surface.*c.surface.blendPixel)(10, 10, d.colour, 128));
        EXPECT_EQ(0u, (c.surface.*c.surface.readPixel)(0, 0));
        EXPECT_EQ(0, (c.surface.*c.surface.vertLine)(0, 100, 10, d.colour));
        EXPECT_EQ(0, (c.surface.*c.surface.horzLine)(0, 100, 10, d.colour));
        EXPECT_TRUE(c.Matches());
    }
}

// Through a real surface of each depth from the DirectDraw stand-in, on a machine that pads its
// rows: the layout is read from the surface, Lock supplies the address and the pitch, every
// pixel reads back as drawn while the row padding stays untouched, and nothing is drawn once the
// surface is unlocked again.
TEST_F(PixelRoutines, DrawOnLockedSurfacesOfEveryDepth) {
    host->Config().pitchPadding = 3;
    IDirectDraw* first = nullptr;
    IDirectDraw7* dd = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &first, nullptr));
    ASSERT_EQ(DD_OK, first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd)));
    first->Release();
    ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));

    const int w = 37, h = 9;
    for (const Depth& d : kDepths) {
        SCOPED_TRACE(Named(d, "locked surface"));
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        desc.dwWidth = w;
        desc.dwHeight = h;
        desc.ddpfPixelFormat = FormatOf(d.depth);
        TarnSurface s;
        ASSERT_EQ(DD_OK, dd->CreateSurface(&desc, &s.surface, nullptr));
        s.width = w;
        s.height = h;
        const RECT whole = {0, 0, w, h};
        s.SetClipArea(&whole);
        ASSERT_TRUE(QueryPixelLayout(s.surface, &s.pixelLayout));
        s.SelectPixelRoutines();
        ASSERT_EQ(d.depth, s.pixelLayout.depth);
        ASSERT_EQ(1, s.Lock());
        const int rowBytes = w * d.bytes;
        ASSERT_GT(s.surfaceDesc.lPitch, rowBytes); // a routine stepping by width would fail
        BYTE* base = static_cast<BYTE*>(s.surfaceDesc.lpSurface);
        for (int y = 0; y < h; ++y)
            std::memset(base + y * s.surfaceDesc.lPitch, kGuard, s.surfaceDesc.lPitch);

        // Each row its own colour, then a column, a plotted and a blended pixel across them.
        const DWORD mask = d.depth == 15  ? 0x7FFF
                           : d.bytes == 4 ? 0xFFFFFF
                                          : (1u << (8 * d.bytes)) - 1;
        auto rowColour = [&](int y) { return (d.colour + 0x10203u * y) & mask; };
        std::vector<DWORD> model(w * h);
        for (int y = 0; y < h; ++y) {
            (s.*s.horzLine)(w - 1, 0, y, rowColour(y));
            for (int x = 0; x < w; ++x) model[y * w + x] = rowColour(y);
        }
        (s.*s.vertLine)(0, h - 1, 5, d.colour);
        for (int y = 0; y < h; ++y) model[y * w + 5] = d.colour;
        (s.*s.plotPixel)(w - 1, h - 1, d.colour);
        model[(h - 1) * w + w - 1] = d.colour;
        (s.*s.blendPixel)(12, 4, d.colour, 256);
        model[4 * w + 12] = d.colour;

        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(model[y * w + x], (s.*s.readPixel)(x, y)) << "at " << x << "," << y;
            for (int i = rowBytes; i < s.surfaceDesc.lPitch; ++i)
                ASSERT_EQ(kGuard, base[y * s.surfaceDesc.lPitch + i]) << "padding of row " << y;
        }
        EXPECT_EQ(0, s.Unlock());

        // Unlocked, the surface forgets its pixel address: routines called without a lock draw
        // nothing and read 0, as on a surface that was never locked.
        EXPECT_EQ(nullptr, s.surfaceDesc.lpSurface);
        const DWORD other = ~d.colour & mask;
        (s.*s.plotPixel)(1, 1, other);
        (s.*s.blendPixel)(2, 1, other, 256);
        (s.*s.horzLine)(0, w - 1, 3, other);
        (s.*s.vertLine)(0, h - 1, 7, other);
        EXPECT_EQ(0u, (s.*s.readPixel)(5, 0));
        ASSERT_EQ(1, s.Lock());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(model[y * w + x], (s.*s.readPixel)(x, y))
                    << "after unlock, at " << x << "," << y;
        EXPECT_EQ(0, s.Unlock());
    }
    dd->Release();
    EXPECT_EQ(0, tarn::platform::LiveObjects());
}

} // namespace
