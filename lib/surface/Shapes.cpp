// TarnSurface's shapes: lines, rectangle outlines and fills, circle outlines and discs, all
// clipped to the clip area. Lines are clipped once, before the first step, so the stepping loop
// writes every pixel without a test; rectangle outlines and discs are runs of the horizontal and
// vertical line routines (which clip whole runs); a rectangle fill is a DirectDraw colour fill.
// The software shapes lock the surface themselves, nesting with a caller's lock.
#include "surface/internal/PixelFormat.h"
#include "surface/TarnSurface.h"

#include "surface/internal/LostSurfaces.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// The depth code whose trait stores pixels of `bytes` bytes (5-5-5 and 5-6-5 store alike).
int StorageDepth(int bytes) {
    return bytes * 8;
}

// The pixels of a line from (x1, y1) to (x2, y2): along the longer axis ("major") one pixel per
// step, i = 0 .. n; across it the pixel nearest the ideal line, minor(i) = floor((2 i m + n) /
// (2 n)) steps of the shorter axis, for the lengths n >= m. Exact in 64 bits for any int ends.
struct LinePlan {
    int64_t n, m;   // lengths along the major and the minor axis
    int64_t x1, y1; // start
    int64_t sx, sy; // direction of each axis (+1 or -1)
    bool xMajor;

    int64_t Minor(int64_t i) const {
        if (n == 0) return 0;
        const uint64_t a = static_cast<uint64_t>(i) * static_cast<uint64_t>(m);
        const uint64_t q = a / static_cast<uint64_t>(n), r = a % static_cast<uint64_t>(n);
        return static_cast<int64_t>(q + (2 * r >= static_cast<uint64_t>(n) ? 1 : 0));
    }
};

// The steps [first, last] whose minor coordinate lies in [low, high] (minor grows with i).
bool MinorRange(const LinePlan& p, int64_t low, int64_t high, int64_t* first, int64_t* last) {
    int64_t lo = *first, hi = *last + 1; // first step with Minor >= low
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (p.Minor(mid) >= low)
            hi = mid;
        else
            lo = mid + 1;
    }
    const int64_t from = lo;
    lo = from;
    hi = *last + 1; // first step with Minor > high
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (p.Minor(mid) > high)
            hi = mid;
        else
            lo = mid + 1;
    }
    *first = from;
    *last = lo - 1;
    return *first <= *last;
}

// Steps i = first .. last, keeping the minor coordinate as quotient and remainder of i * m / n so
// each step is one addition and one comparison.
template <class F>
void StepLine(const LinePlan& p, int64_t first, int64_t last, BYTE* base, long pitch,
              DWORD colour) {
    const uint64_t n = static_cast<uint64_t>(p.n), m = static_cast<uint64_t>(p.m);
    uint64_t q = 0, r = 0;
    if (n != 0) {
        const uint64_t a = static_cast<uint64_t>(first) * m;
        q = a / n;
        r = a % n;
    }
    const std::ptrdiff_t majorStep = p.xMajor ? p.sx * F::bytes : p.sy * pitch;
    const std::ptrdiff_t minorStep = p.xMajor ? p.sy * pitch : p.sx * F::bytes;
    const int64_t minor0 = p.Minor(first);
    const int64_t x = p.xMajor ? p.x1 + p.sx * first : p.x1 + p.sx * minor0;
    const int64_t y = p.xMajor ? p.y1 + p.sy * minor0 : p.y1 + p.sy * first;
    BYTE* at = F::At(base, pitch, static_cast<int>(x), static_cast<int>(y));
    int64_t minor = minor0;
    for (int64_t i = first;; ++i) {
        F::Store(at, colour);
        if (i == last) break;
        at += majorStep;
        r += m;
        if (r >= n) { // m <= n: at most once
            r -= n;
            ++q;
        }
        const int64_t next = static_cast<int64_t>(q + (2 * r >= n ? 1 : 0));
        if (next != minor) { // a slope of at most one: one step across at most
            at += minorStep;
            minor = next;
        }
    }
}

} // namespace

int TarnSurface::DrawLine(int x1, int y1, int x2, int y2, DWORD colour) {
    if (surface == nullptr) return -1;
    const int bytes = (pixelLayout.depth + 7) / 8;
    if (bytes < 1 || bytes > 4) return DDERR_INVALIDPIXELFORMAT;
    LinePlan p;
    const int64_t dx = int64_t{x2} - x1, dy = int64_t{y2} - y1;
    p.x1 = x1;
    p.y1 = y1;
    p.sx = dx < 0 ? -1 : 1;
    p.sy = dy < 0 ? -1 : 1;
    p.xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    p.n = p.xMajor ? dx * p.sx : dy * p.sy;
    p.m = p.xMajor ? dy * p.sy : dx * p.sx;
    // The steps inside the clip area along the major axis, then across it.
    const RECT& c = clipArea;
    if (c.left >= c.right || c.top >= c.bottom) return 0;
    const int64_t start = p.xMajor ? x1 : y1, dir = p.xMajor ? p.sx : p.sy;
    const int64_t majorLow = p.xMajor ? c.left : c.top,
                  majorHigh = (p.xMajor ? c.right : c.bottom) - 1;
    int64_t first = dir > 0 ? majorLow - start : start - majorHigh;
    int64_t last = dir > 0 ? majorHigh - start : start - majorLow;
    if (first < 0) first = 0;
    if (last > p.n) last = p.n;
    if (first > last) return 0;
    const int64_t minorStart = p.xMajor ? y1 : x1, minorDir = p.xMajor ? p.sy : p.sx;
    const int64_t minorLow = p.xMajor ? c.top : c.left,
                  minorHigh = (p.xMajor ? c.bottom : c.right) - 1;
    const int64_t low = minorDir > 0 ? minorLow - minorStart : minorStart - minorHigh;
    const int64_t high = minorDir > 0 ? minorHigh - minorStart : minorStart - minorLow;
    if (!MinorRange(p, low, high, &first, &last)) return 0;

    const int locked = Lock();
    if (locked < 1) return locked;
    BYTE* base = static_cast<BYTE*>(surfaceDesc.lpSurface);
    const long pitch = surfaceDesc.lPitch;
    WithPixelFormat(StorageDepth(bytes), [&](auto format) {
        StepLine<decltype(format)>(p, first, last, base, pitch, colour);
    });
    Unlock();
    return 0;
}

int TarnSurface::DrawRect(const RECT* r, DWORD colour) {
    if (surface == nullptr) return -1;
    const RECT box = r != nullptr ? *r : clipArea;
    if (box.right <= box.left || box.bottom <= box.top || horzLine == nullptr) return 0;
    const int locked = Lock();
    if (locked < 1) return locked;
    (this->*horzLine)(box.left, box.right - 1, box.top, colour);
    (this->*horzLine)(box.left, box.right - 1, box.bottom - 1, colour);
    (this->*vertLine)(box.top, box.bottom - 1, box.left, colour);
    (this->*vertLine)(box.top, box.bottom - 1, box.right - 1, colour);
    Unlock();
    return 0;
}

// A fill that finds the surface lost restores it (a picture reloads its file) and is made again.
int TarnSurface::FillRect(const RECT* r, DWORD colour) {
    if (surface == nullptr) return -1;
    RECT box = r != nullptr ? *r : clipArea;
    if (box.right <= box.left || box.bottom <= box.top || !ClipToArea(&box)) return 0;
    if (box.right <= box.left || box.bottom <= box.top) return 0;
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof(fx));
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = colour;
    return DrawRestoringLost(this, nullptr, [&] {
        return surface->Blt(&box, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    });
}

namespace {

// The midpoint circle: calls visit(x, y) for the points of one octant, from (radius, 0) until x
// and y meet; the other seven are its reflections.
template <class Visit> void CircleOctant(int64_t radius, Visit visit) {
    int64_t x = radius, y = 0, d = 1 - radius;
    while (x >= y) {
        visit(x, y);
        ++y;
        if (d < 0) {
            d += 2 * y + 1;
        } else {
            --x;
            d += 2 * (y - x) + 1;
        }
    }
}

// Whether the circle's bounding box misses the clip area, or lies wholly inside it.
bool BoxOutside(const RECT& c, int64_t cx, int64_t cy, int64_t r) {
    return cx + r < c.left || cx - r >= c.right || cy + r < c.top || cy - r >= c.bottom;
}
bool BoxInside(const RECT& c, int64_t cx, int64_t cy, int64_t r) {
    return cx - r >= c.left && cx + r < c.right && cy - r >= c.top && cy + r < c.bottom;
}

} // namespace

// Points are tested against the clip area only when the circle crosses its edge.
int TarnSurface::DrawCircle(int cx, int cy, int radius, DWORD colour) {
    if (surface == nullptr) return -1;
    if (radius < 0 || plotPixel == nullptr || BoxOutside(clipArea, cx, cy, radius)) return 0;
    const int locked = Lock();
    if (locked < 1) return locked;
    BYTE* base = static_cast<BYTE*>(surfaceDesc.lpSurface);
    const long pitch = surfaceDesc.lPitch;
    const RECT c = clipArea;
    const bool inside = BoxInside(c, cx, cy, radius);
    WithPixelFormat(StorageDepth((pixelLayout.depth + 7) / 8), [&](auto format) {
        using F = decltype(format);
        auto put = [&](int64_t x, int64_t y) {
            if (!inside && (x < c.left || x >= c.right || y < c.top || y >= c.bottom)) return;
            F::Store(F::At(base, pitch, static_cast<int>(x), static_cast<int>(y)), colour);
        };
        CircleOctant(radius, [&](int64_t x, int64_t y) {
            put(cx + x, cy + y);
            put(cx - x, cy + y);
            put(cx + x, cy - y);
            put(cx - x, cy - y);
            put(cx + y, cy + x);
            put(cx - y, cy + x);
            put(cx + y, cy - x);
            put(cx - y, cy - x);
        });
    });
    Unlock();
    return 0;
}

// Rows from the octant's points: row cy +- y reaches x either side, row cy +- x reaches y (the
// last, widest, value for each x wins). Rows outside the clip area cost one comparison each, and
// a row whose span lies wholly left or right of the clip area draws nothing.
int TarnSurface::FillCircle(int cx, int cy, int radius, DWORD colour) {
    if (surface == nullptr) return -1;
    if (radius < 0 || horzLine == nullptr || BoxOutside(clipArea, cx, cy, radius)) return 0;
    const int locked = Lock();
    if (locked < 1) return locked;
    const RECT c = clipArea;
    const HorzLineFn line = horzLine;
    auto row = [&](int64_t y, int64_t half) {
        if (y < c.top || y >= c.bottom) return;
        const int64_t left = int64_t{cx} - half, right = int64_t{cx} + half;
        const int from = static_cast<int>(left < c.left ? c.left : left);
        const int to = static_cast<int>(right >= c.right ? c.right - 1 : right);
        if (from > to) return;
        (this->*line)(from, to, static_cast<int>(y), colour);
    };
    CircleOctant(radius, [&](int64_t x, int64_t y) {
        row(cy + y, x);
        if (y != 0) row(cy - y, x);
        row(cy + x, y);
        row(cy - x, y);
    });
    Unlock();
    return 0;
}
