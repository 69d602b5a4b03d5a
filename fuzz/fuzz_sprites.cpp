// libFuzzer target holding the fast sprite routines to their plain references: each input picks
// a depth, buffer sizes, pitches, rectangles, a key, an alpha and an alpha plane, runs the
// constant-alpha copy and the alpha-plane copy once fast and once by the reference on copies of
// the same destination, and requires identical bytes, and nothing changed outside the
// destination rectangle (the rest of the buffer is the guard band). Then it draws a line, a
// rectangle outline, a circle and a disc inside a random clip area, each compared byte for byte
// with a plain reference that plots the shape's pixels one at a time and keeps those inside the
// clip area; so nothing may land outside it either.
#include "surface/internal/BlendRoutines.h"
#include "surface/TarnSurface.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const int kDepths[] = {8, 15, 16, 24, 32};

struct Buffer {
    std::vector<BYTE> bytes;
    long pitch = 0;
    int width = 0, height = 0, pixelBytes = 0;

    // Contents from a generator the input seeds; a narrow mask makes many equal pixels, so keys
    // and repeated values are common.
    void Make(FuzzedDataProvider& in, int bytesPerPixel, int maxSide) {
        pixelBytes = bytesPerPixel;
        width = in.ConsumeIntegralInRange(1, maxSide);
        height = in.ConsumeIntegralInRange(1, maxSide);
        pitch = static_cast<long>(width) * bytesPerPixel + in.ConsumeIntegralInRange(0, 7);
        uint32_t state = in.ConsumeIntegral<uint32_t>() | 1;
        const BYTE mask = in.ConsumeBool() ? 0x81 : 0xFF;
        // One byte in front, so rows start at odd addresses as often as not.
        bytes.resize(1 + static_cast<size_t>(pitch) * height);
        for (BYTE& b : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            b = static_cast<BYTE>(state) & mask;
        }
    }
    PixelRect At(int x, int y, int w, int h) {
        return PixelRect{bytes.data() + 1 + static_cast<size_t>(y) * pitch +
                             static_cast<size_t>(x) * pixelBytes,
                         pitch, w, h};
    }
};

void Fail(const char* what) {
    std::fprintf(stderr, "mismatch: %s\n", what);
    std::abort();
}

// Bytes of `after` that differ from `before` must lie in the rectangle (x, y, w, h) of pixels.
void CheckGuard(const Buffer& before, const Buffer& after, int x, int y, int w, int h,
                const char* what) {
    for (size_t i = 0; i < before.bytes.size(); ++i) {
        if (before.bytes[i] == after.bytes[i]) continue;
        if (i == 0) Fail(what);
        const long at = static_cast<long>(i) - 1;
        const long row = at / before.pitch, col = at % before.pitch;
        if (row < y || row >= y + h || col < static_cast<long>(x) * before.pixelBytes ||
            col >= static_cast<long>(x + w) * before.pixelBytes)
            Fail(what);
    }
}

void FuzzCopies(FuzzedDataProvider& in, int depth, int bytes) {
    Buffer src, dst, alpha;
    src.Make(in, bytes, 80);
    dst.Make(in, bytes, 80);
    alpha.Make(in, 1, 80);
    // A rectangle of the source that fits the destination and the plane.
    const int maxW = std::min({src.width, dst.width, alpha.width});
    const int maxH = std::min({src.height, dst.height, alpha.height});
    const int w = in.ConsumeIntegralInRange(1, maxW), h = in.ConsumeIntegralInRange(1, maxH);
    const int sx = in.ConsumeIntegralInRange(0, src.width - w);
    const int sy = in.ConsumeIntegralInRange(0, src.height - h);
    const int dx = in.ConsumeIntegralInRange(0, dst.width - w);
    const int dy = in.ConsumeIntegralInRange(0, dst.height - h);
    const int ax = in.ConsumeIntegralInRange(0, alpha.width - w);
    const int ay = in.ConsumeIntegralInRange(0, alpha.height - h);
    const int a = in.ConsumeIntegralInRange(0, 300);
    SourceKey key = {in.ConsumeBool(), 0};
    // Mostly a value the source holds, so the key matters.
    if (in.ConsumeBool()) {
        for (int i = 0; i < bytes; ++i)
            key.value |= static_cast<DWORD>(src.bytes[1 + static_cast<size_t>(sy) * src.pitch +
                                                      static_cast<size_t>(sx) * bytes + i])
                         << (8 * i);
    } else {
        key.value = in.ConsumeIntegral<DWORD>();
    }

    Buffer fast = dst, reference = dst;
    BlendRect(depth, fast.At(dx, dy, w, h), src.At(sx, sy, w, h), a, key);
    BlendRectReference(depth, reference.At(dx, dy, w, h), src.At(sx, sy, w, h), a, key);
    if (fast.bytes != reference.bytes) Fail("constant alpha");
    CheckGuard(dst, fast, dx, dy, w, h, "constant alpha outside its rectangle");

    fast = dst;
    reference = dst;
    AlphaRect(depth, fast.At(dx, dy, w, h), src.At(sx, sy, w, h), alpha.At(ax, ay, w, h));
    AlphaRectReference(depth, reference.At(dx, dy, w, h), src.At(sx, sy, w, h),
                       alpha.At(ax, ay, w, h));
    if (fast.bytes != reference.bytes) Fail("alpha plane");
    CheckGuard(dst, fast, dx, dy, w, h, "alpha plane outside its rectangle");
}

// A TarnSurface over the buffer, already locked by "a caller", so the shapes nest with that
// lock and never reach DirectDraw.
struct Canvas {
    TarnSurface s;
    explicit Canvas(Buffer& b, int depth, const RECT& clip) {
        s.pixelLayout.depth = depth;
        s.SelectPixelRoutines();
        s.width = b.width;
        s.height = b.height;
        s.surfaceDesc.lpSurface = b.bytes.data() + 1;
        s.surfaceDesc.lPitch = b.pitch;
        s.clipArea = clip;
        s.lockCount = 1;
        s.surface = reinterpret_cast<IDirectDrawSurface7*>(&b); // never called while locked
    }
    ~Canvas() { s.surface = nullptr; }
};

// The plain references of the shapes: every pixel they set, one at a time, kept where it lies
// inside the clip area.
struct Reference {
    Buffer& b;
    const RECT& clip;
    DWORD colour;

    void Plot(int64_t x, int64_t y) {
        if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return;
        for (int k = 0; k < b.pixelBytes; ++k)
            b.bytes[1 + static_cast<size_t>(y) * b.pitch + static_cast<size_t>(x) * b.pixelBytes +
                    k] = static_cast<BYTE>(colour >> (8 * k));
    }

    // Each pixel of the clip area on the line: along the longer axis i steps from the start
    // (0 to n), across it the nearest pixel, floor((2 i m + n) / (2 n)), for lengths n >= m.
    void Line(int x1, int y1, int x2, int y2) {
        const int64_t dx = int64_t{x2} - x1, dy = int64_t{y2} - y1;
        const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
        const bool xMajor = adx >= ady;
        const int64_t n = xMajor ? adx : ady, m = xMajor ? ady : adx;
        const int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
        for (int64_t y = clip.top; y < clip.bottom; ++y)
            for (int64_t x = clip.left; x < clip.right; ++x) {
                const int64_t i = xMajor ? (x - x1) * sx : (y - y1) * sy;
                const int64_t across = xMajor ? (y - y1) * sy : (x - x1) * sx;
                if (i < 0 || i > n) continue;
                const __int128 minor = n == 0 ? 0
                                              : (2 * static_cast<__int128>(i) * m + n) /
                                                    (2 * static_cast<__int128>(n));
                if (minor == across) Plot(x, y);
            }
    }

    // The outline of the box, right and bottom exclusive (tested on the clip area's pixels, so
    // a box of any size costs the same).
    void Rect(const RECT& r) {
        for (int64_t y = clip.top; y < clip.bottom; ++y)
            for (int64_t x = clip.left; x < clip.right; ++x) {
                const bool inBox = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                if (inBox && (x == r.left || x == int64_t{r.right} - 1 || y == r.top ||
                              y == int64_t{r.bottom} - 1))
                    Plot(x, y);
            }
    }

    // The midpoint circle's points of one octant, from (radius, 0) until x and y meet.
    template <class Visit> static void Octant(int64_t radius, Visit visit) {
        int64_t x = radius, y = 0, d = 1 - radius;
        for (; x >= y; ++y) {
            visit(x, y);
            if (d < 0) {
                d += 2 * (y + 1) + 1;
            } else {
                --x;
                d += 2 * (y + 1 - x) + 1;
            }
        }
    }

    void Circle(int64_t cx, int64_t cy, int radius) {
        if (radius < 0) return;
        Octant(radius, [&](int64_t x, int64_t y) {
            for (int64_t sx : {-1, 1})
                for (int64_t sy : {-1, 1}) {
                    Plot(cx + sx * x, cy + sy * y);
                    Plot(cx + sx * y, cy + sy * x);
                }
        });
    }

    // Each octant point gives two rows a span: cy +- y from cx - x to cx + x, and cy +- x from
    // cx - y to cx + y.
    void Disc(int64_t cx, int64_t cy, int radius) {
        if (radius < 0) return;
        Octant(radius, [&](int64_t x, int64_t y) {
            for (int64_t sy : {-1, 1}) {
                for (int64_t px = cx - x; px <= cx + x; ++px) Plot(px, cy + sy * y);
                for (int64_t px = cx - y; px <= cx + y; ++px) Plot(px, cy + sy * x);
            }
        });
    }
};

void FuzzShapes(FuzzedDataProvider& in, int depth, int bytes) {
    Buffer b;
    b.Make(in, bytes, 48);
    RECT clip;
    clip.left = in.ConsumeIntegralInRange(0, b.width - 1);
    clip.top = in.ConsumeIntegralInRange(0, b.height - 1);
    clip.right = in.ConsumeIntegralInRange(static_cast<int>(clip.left) + 1, b.width);
    clip.bottom = in.ConsumeIntegralInRange(static_cast<int>(clip.top) + 1, b.height);
    const DWORD colour =
        in.ConsumeIntegral<DWORD>() & (bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1);
    // Mostly near the buffer, sometimes anywhere an int reaches.
    auto coordinate = [&] {
        return in.ConsumeBool() ? in.ConsumeIntegralInRange(-100, 150) : in.ConsumeIntegral<int>();
    };

    // Every shape drawn on one buffer and by its reference on a copy; the two agree after each,
    // which also means nothing lands outside the clip area.
    Buffer drawn = b, expected = b;
    Canvas c(drawn, depth, clip);
    Reference ref{expected, clip, colour};
    auto check = [&](const char* what) {
        if (drawn.bytes != expected.bytes) Fail(what);
    };

    const int x1 = coordinate(), y1 = coordinate(), x2 = coordinate(), y2 = coordinate();
    if (c.s.DrawLine(x1, y1, x2, y2, colour) != 0) Fail("line result");
    ref.Line(x1, y1, x2, y2);
    check("line");

    RECT r = {coordinate(), coordinate(), coordinate(), coordinate()};
    const bool wholeClip = in.ConsumeBool();
    if (c.s.DrawRect(wholeClip ? nullptr : &r, colour) != 0) Fail("rectangle result");
    ref.Rect(wholeClip ? clip : r);
    check("rectangle");

    const int radius = in.ConsumeIntegralInRange(-2, 200);
    const int cx = in.ConsumeIntegralInRange(-250, 300), cy = in.ConsumeIntegralInRange(-250, 300);
    if (c.s.DrawCircle(cx, cy, radius, colour) != 0) Fail("circle result");
    ref.Circle(cx, cy, radius);
    check("circle");
    if (c.s.FillCircle(cy, cx, radius, colour) != 0) Fail("disc result");
    ref.Disc(cy, cx, radius);
    check("disc");
    CheckGuard(b, drawn, static_cast<int>(clip.left), static_cast<int>(clip.top),
               static_cast<int>(clip.right - clip.left), static_cast<int>(clip.bottom - clip.top),
               "shape outside the clip area");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int depth = in.PickValueInArray(kDepths);
    const int bytes = BytesPerPixel(depth);
    if (in.ConsumeBool())
        FuzzCopies(in, depth, bytes);
    else
        FuzzShapes(in, depth, bytes);
    return 0;
}
