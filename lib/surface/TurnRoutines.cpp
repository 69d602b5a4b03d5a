// Turned, scaled and flipped copies on plain memory (see TurnRoutines.h): the map from destination
// pixels to source positions, worked out once per call in floating point and then kept in exact
// 64-bit integers, and the drawing over it. The fast version visits, row by row, only the span of
// pixels whose sample lies in the source (found by division, not by testing each pixel) and steps
// the positions by addition; a row that reads one source row forwards or backwards pixel by pixel
// (a plain or mirrored copy) goes without positions at all. The reference works every pixel out
// afresh and tests it.
#include "surface/internal/TurnRoutines.h"

#include "surface/internal/PixelFormat.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "cpu/ProcessorFeatures.h"
#include "surface/internal/BlendVectors.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if TARN_BLEND_WIDE_VECTORS
#include <immintrin.h>
#endif

namespace {

const int64_t HALF_PIXEL = TURN_PIXEL / 2;
const uint64_t FULL_COVER = uint64_t{1} << 40; // four weights (2^32 in all) times opacity 256

// floor(a / b) for b > 0. The quotient is estimated in floating point (a division there costs a
// fraction of a 64-bit integer one, and there are several per row) and then made exact: the
// estimate is within a unit or two for the magnitudes positions have.
int64_t FloorDiv(int64_t a, int64_t b) {
    if (b == TURN_PIXEL) return a >> 33; // a whole pixel (every unscaled copy): a shift floors
    int64_t q = static_cast<int64_t>(std::floor(static_cast<double>(a) / static_cast<double>(b)));
    while (q * b > a) --q;
    while ((q + 1) * b <= a) ++q;
    return q;
}

int64_t CeilDiv(int64_t a, int64_t b) { // b > 0
    return -FloorDiv(-a, b);
}

// Narrows [*lo, *hi) to the i with low <= s + i * d < high.
void KeepInside(int64_t s, int64_t d, int64_t low, int64_t high, int64_t* lo, int64_t* hi) {
    if (d == 0) {
        if (s < low || s >= high) *hi = *lo;
        return;
    }
    if (d > 0) {
        *lo = std::max(*lo, CeilDiv(low - s, d));
        *hi = std::min(*hi, FloorDiv(high - 1 - s, d) + 1);
    } else {
        *lo = std::max(*lo, CeilDiv(s - high + 1, -d));
        *hi = std::min(*hi, FloorDiv(s - low, -d) + 1);
    }
}

inline BYTE* PixelAt(const PixelRect& r, int x, int y, int bytes) {
    return r.pixels + static_cast<std::ptrdiff_t>(y) * r.pitch +
           static_cast<std::ptrdiff_t>(x) * bytes;
}

// The nearest sample at (sx, sy), inside the source, into the destination pixel at `d`.
template <class F>
inline void PutNearest(BYTE* d, const PixelRect& src, int64_t sx, int64_t sy,
                       const TurnExtras& ex) {
    const int px = static_cast<int>(sx >> 33), py = static_cast<int>(sy >> 33);
    const DWORD v = F::Load(PixelAt(src, px, py, F::bytes));
    if (ex.key.on && v == ex.key.value) return;
    int a = ex.alpha;
    if (ex.plane != nullptr) {
        const int p = ex.plane[static_cast<std::ptrdiff_t>(py) * ex.planePitch + px];
        a = (p + (p >> 7)) * a >> 8;
    }
    if (a >= 256)
        F::Store(d, v);
    else if (a > 0)
        F::Store(d, F::Blend(F::Load(d), v, a));
}

// The bilinear sample at (sx, sy): the four source pixels around it, each weighted by its
// distance and its own opacity (none outside `bounds` or keyed).
template <class F>
inline void PutSmooth(BYTE* d, const PixelRect& src, const RECT& bounds, int64_t sx, int64_t sy,
                      const TurnExtras& ex) {
    const int64_t bx = sx - HALF_PIXEL, by = sy - HALF_PIXEL;
    const int x0 = static_cast<int>(bx >> 33), y0 = static_cast<int>(by >> 33);
    const uint64_t fx = static_cast<uint64_t>(bx >> 17) & 0xFFFF;
    const uint64_t fy = static_cast<uint64_t>(by >> 17) & 0xFFFF;
    uint64_t cover = 0, red = 0, green = 0, blue = 0;
    if (x0 >= bounds.left && x0 + 1 < bounds.right && y0 >= bounds.top && y0 + 1 < bounds.bottom) {
        // All four inside (most samples): read them all and weigh without a branch each.
        const BYTE* top = PixelAt(src, x0, y0, F::bytes);
        const BYTE* corners[4] = {top, top + F::bytes, top + src.pitch, top + src.pitch + F::bytes};
        const BYTE* weights = ex.plane != nullptr
                                  ? ex.plane + static_cast<std::ptrdiff_t>(y0) * ex.planePitch + x0
                                  : nullptr;
        for (int k = 0; k < 4; ++k) {
            const DWORD v = F::Load(corners[k]);
            uint64_t a = 256;
            if (weights != nullptr) {
                const uint64_t p = weights[(k >> 1) * ex.planePitch + (k & 1)];
                a = p + (p >> 7);
            }
            if (ex.key.on && v == ex.key.value) a = 0;
            const uint64_t wa = ((k & 1) ? fx : 65536 - fx) * ((k >> 1) ? fy : 65536 - fy) * a;
            cover += wa;
            red += wa * ((v >> F::redShift) & F::redMax);
            green += wa * ((v >> F::greenShift) & F::greenMax);
            blue += wa * (v & F::blueMax);
        }
    } else {
        for (int k = 0; k < 4; ++k) {
            const int px = x0 + (k & 1), py = y0 + (k >> 1);
            if (px < bounds.left || px >= bounds.right || py < bounds.top || py >= bounds.bottom)
                continue;
            const uint64_t w = ((k & 1) ? fx : 65536 - fx) * ((k >> 1) ? fy : 65536 - fy);
            if (w == 0) continue;
            const DWORD v = F::Load(PixelAt(src, px, py, F::bytes));
            if (ex.key.on && v == ex.key.value) continue;
            uint64_t a = 256;
            if (ex.plane != nullptr) {
                const uint64_t p = ex.plane[static_cast<std::ptrdiff_t>(py) * ex.planePitch + px];
                a = p + (p >> 7);
            }
            const uint64_t wa = w * a;
            cover += wa;
            red += wa * ((v >> F::redShift) & F::redMax);
            green += wa * ((v >> F::greenShift) & F::greenMax);
            blue += wa * (v & F::blueMax);
        }
    }
    if (cover == 0) return;
    DWORD r, g, b;
    if (cover == FULL_COVER) {
        r = static_cast<DWORD>((red + FULL_COVER / 2) >> 40);
        g = static_cast<DWORD>((green + FULL_COVER / 2) >> 40);
        b = static_cast<DWORD>((blue + FULL_COVER / 2) >> 40);
    } else {
        r = static_cast<DWORD>((red + cover / 2) / cover);
        g = static_cast<DWORD>((green + cover / 2) / cover);
        b = static_cast<DWORD>((blue + cover / 2) / cover);
    }
    const int a = static_cast<int>(cover >> 32) * ex.alpha >> 8;
    if (a <= 0) return;
    const DWORD colour = r << F::redShift | g << F::greenShift | b;
    F::Store(d, a >= 256 ? colour : F::Blend(F::Load(d), colour, a));
}

// `rows` mirrored rows: in each, `count` pixels read leftwards from `s` on, stored rightwards from
// `d` on; the rows are `dPitch` and `sPitch` bytes apart (either may be negative).
using MirrorRowsFn = void (*)(BYTE* d, long dPitch, const BYTE* s, long sPitch, int rows,
                              int count);

#if TARN_BLEND_WIDE_VECTORS
// One block of pixels reversed, the lanes outside `keep` zeroed (the forms with a mask: the plain
// ones start from an undefined vector, which GCC takes for an uninitialised one).
template <int Bytes>
__attribute__((target("avx512f,avx512bw"))) inline __m512i Reversed(uint32_t keep, __m512i order,
                                                                    __m512i v) {
    if constexpr (Bytes == 4)
        return _mm512_maskz_permutexvar_epi32(static_cast<__mmask16>(keep), order, v);
    else
        return _mm512_maskz_permutexvar_epi16(keep, order, v);
}

// Sixteen 32-bit or thirty-two 16-bit pixels at a time, the last few under a mask, so a row needs
// no loop of single pixels. Masked-off lanes are neither read nor written, so the block before a
// short row's first source pixel may lie outside the surface.
template <int Bytes>
__attribute__((target("avx512f,avx512bw"))) void
MirrorRowsAvx512(BYTE* d, long dPitch, const BYTE* s, long sPitch, int rows, int count) {
    constexpr int lanes = 64 / Bytes;
    alignas(64) static const uint16_t reverse16[32] = {31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21,
                                                       20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10,
                                                       9,  8,  7,  6,  5,  4,  3,  2,  1,  0};
    alignas(64) static const uint32_t reverse32[16] = {15, 14, 13, 12, 11, 10, 9, 8,
                                                       7,  6,  5,  4,  3,  2,  1, 0};
    const __m512i order = _mm512_load_si512(Bytes == 4 ? static_cast<const void*>(reverse32)
                                                       : static_cast<const void*>(reverse16));
    const uint32_t all = Bytes == 4 ? 0xFFFFu : 0xFFFFFFFFu;
    const int whole = count - count % lanes, left = count - whole;
    const uint32_t keep = static_cast<uint32_t>((uint64_t{1} << left) - 1);
    const uint32_t top = left ? keep << (lanes - left) : 0; // no shift by the whole width
    for (int y = 0; y < rows; ++y, d += dPitch, s += sPitch) {
        int i = 0;
        // Four blocks loaded before any is stored, so their loads overlap.
        for (; i + 4 * lanes <= whole; i += 4 * lanes) {
            const BYTE* from = s - Bytes * (i + lanes - 1);
            const __m512i a = _mm512_loadu_si512(from), b = _mm512_loadu_si512(from - 64),
                          c = _mm512_loadu_si512(from - 128), e = _mm512_loadu_si512(from - 192);
            _mm512_storeu_si512(d + Bytes * i, Reversed<Bytes>(all, order, a));
            _mm512_storeu_si512(d + Bytes * i + 64, Reversed<Bytes>(all, order, b));
            _mm512_storeu_si512(d + Bytes * i + 128, Reversed<Bytes>(all, order, c));
            _mm512_storeu_si512(d + Bytes * i + 192, Reversed<Bytes>(all, order, e));
        }
        for (; i < whole; i += lanes)
            _mm512_storeu_si512(
                d + Bytes * i,
                Reversed<Bytes>(all, order, _mm512_loadu_si512(s - Bytes * (i + lanes - 1))));
        if (left == 0) continue;
        // The block ending at the row's last source pixel: its top `left` lanes are the row's.
        const BYTE* from = s - Bytes * (i + lanes - 1);
        if constexpr (Bytes == 4) {
            const __m512i v = _mm512_maskz_loadu_epi32(static_cast<__mmask16>(top), from);
            _mm512_mask_storeu_epi32(d + 4 * i, static_cast<__mmask16>(keep),
                                     Reversed<4>(keep, order, v));
        } else {
            const __m512i v = _mm512_maskz_loadu_epi16(top, from);
            _mm512_mask_storeu_epi16(d + 2 * i, keep, Reversed<2>(keep, order, v));
        }
    }
}

// MirrorRow's first pixels, eight 32-bit or sixteen 16-bit ones at a time: how many were done.
__attribute__((target("avx2"))) int MirrorRowAvx2(BYTE* d, const BYTE* s, int count, int bytes) {
    int i = 0;
    if (bytes == 4) {
        const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
        for (; i + 8 <= count; i += 8) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s - 4 * (i + 7)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i),
                                _mm256_permutevar8x32_epi32(v, reverse));
        }
    } else {
        const __m256i reverse =
            _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 14, 15, 12, 13,
                             10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
        for (; i + 16 <= count; i += 16) {
            __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s - 2 * (i + 15)));
            v = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, reverse), 0x4E);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * i), v);
        }
    }
    return i;
}
#endif

// Four 32-bit or eight 16-bit pixels at a time where the processor has SSE2 (every x86-64 one),
// twice as many with AVX2.
template <class F> void MirrorRow(BYTE* d, const BYTE* s, int count) {
    int i = 0;
#if TARN_BLEND_WIDE_VECTORS
    if constexpr (F::bytes == 2 || F::bytes == 4)
        if (tarn::cpu::HasAvx2()) i = MirrorRowAvx2(d, s, count, F::bytes);
#endif
#if defined(__SSE2__)
    if constexpr (F::bytes == 4) {
        for (; i + 4 <= count; i += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s - 4 * (i + 3)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i), _mm_shuffle_epi32(v, 0x1B));
        }
    } else if constexpr (F::bytes == 2) {
        for (; i + 8 <= count; i += 8) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s - 2 * (i + 7)));
            v = _mm_shuffle_epi32(v, 0x1B);                              // the four pairs reversed
            v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1); // each pair swapped
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i), v);
        }
    }
#endif
    for (; i < count; ++i) F::Store(d + F::bytes * i, F::Load(s - F::bytes * i));
}

template <class F>
void MirrorRows(BYTE* d, long dPitch, const BYTE* s, long sPitch, int rows, int count) {
    for (int y = 0; y < rows; ++y, d += dPitch, s += sPitch) MirrorRow<F>(d, s, count);
}

// The mirrored-rows routine for a whole copy, chosen once from the processor's features: the
// widest vectors it has (AVX-512BW moves a row in a quarter of the steps of SSE2).
template <class F> MirrorRowsFn ChooseMirrorRows() {
#if TARN_BLEND_WIDE_VECTORS
    if constexpr (F::bytes == 2 || F::bytes == 4)
        if (tarn::cpu::HasAvx512Bw()) return &MirrorRowsAvx512<F::bytes>;
#endif
    return &MirrorRows<F>;
}

// The source rectangle in position units: nearest samples inside [low, high) read a pixel of it;
// bilinear ones reach half a pixel further.
void SampleLimits(const TurnMap& m, int64_t* lowX, int64_t* highX, int64_t* lowY, int64_t* highY) {
    const int64_t reach = m.smooth ? HALF_PIXEL : 0;
    *lowX = m.bounds.left * TURN_PIXEL - reach;
    *highX = m.bounds.right * TURN_PIXEL + reach;
    *lowY = m.bounds.top * TURN_PIXEL - reach;
    *highY = m.bounds.bottom * TURN_PIXEL + reach;
}

template <class F>
void TurnRows(const PixelRect& dst, const PixelRect& src, const TurnMap& m, const TurnExtras& ex) {
    int64_t lowX, highX, lowY, highY;
    SampleLimits(m, &lowX, &highX, &lowY, &highY);
    const int boxWidth = m.box.right - m.box.left;
    const bool opaque = !ex.key.on && ex.plane == nullptr && ex.alpha >= 256;
    // Without a turn (rows all start at the same source x) every row has the same span across.
    int64_t spanLo = 0, spanHi = boxWidth;
    if (m.stepXY == 0) KeepInside(m.originX, m.stepXX, lowX, highX, &spanLo, &spanHi);
    // A plain or mirrored copy (scale 1, no turn or a half turn): every row is one source row
    // read whole, forwards or backwards, from the same column.
    if (!m.smooth && opaque && m.stepXY == 0 && m.stepYX == 0 &&
        (m.stepXX == TURN_PIXEL || m.stepXX == -TURN_PIXEL)) {
        if (spanLo >= spanHi) return;
        const int count = static_cast<int>(spanHi - spanLo);
        const int column = static_cast<int>((m.originX + spanLo * m.stepXX) >> 33);
        BYTE* d = PixelAt(dst, m.box.left + static_cast<int>(spanLo), m.box.top, F::bytes);
        // Whole rows one after another (scale 1 down too): the rows inside, then one call for all.
        if (m.stepXX < 0 && (m.stepYY == TURN_PIXEL || m.stepYY == -TURN_PIXEL)) {
            int64_t rowLo = 0, rowHi = m.box.bottom - m.box.top;
            KeepInside(m.originY, m.stepYY, lowY, highY, &rowLo, &rowHi);
            if (rowLo >= rowHi) return;
            const int64_t sy = m.originY + rowLo * m.stepYY;
            const long sPitch = m.stepYY > 0 ? src.pitch : -src.pitch;
            ChooseMirrorRows<F>()(d + rowLo * dst.pitch, dst.pitch,
                                  PixelAt(src, column, static_cast<int>(sy >> 33), F::bytes),
                                  sPitch, static_cast<int>(rowHi - rowLo), count);
            return;
        }
        int64_t sy = m.originY;
        for (int y = m.box.top; y < m.box.bottom; ++y, sy += m.stepYY, d += dst.pitch) {
            if (sy < lowY || sy >= highY) continue;
            const BYTE* s = PixelAt(src, column, static_cast<int>(sy >> 33), F::bytes);
            if (m.stepXX > 0)
                std::memcpy(d, s, static_cast<size_t>(count) * F::bytes);
            else
                ChooseMirrorRows<F>()(d, 0, s, 0, 1, count);
        }
        return;
    }
    int64_t rowX = m.originX, rowY = m.originY;
    for (int y = m.box.top; y < m.box.bottom; ++y, rowX += m.stepXY, rowY += m.stepYY) {
        int64_t lo = spanLo, hi = spanHi;
        if (m.stepXY != 0) KeepInside(rowX, m.stepXX, lowX, highX, &lo, &hi);
        KeepInside(rowY, m.stepYX, lowY, highY, &lo, &hi);
        if (lo >= hi) continue;
        int64_t sx = rowX + lo * m.stepXX, sy = rowY + lo * m.stepYX;
        BYTE* d = PixelAt(dst, m.box.left + static_cast<int>(lo), y, F::bytes);
        const int count = static_cast<int>(hi - lo);
        if (m.smooth) {
            if constexpr (F::mixes) {
                for (int i = 0; i < count; ++i, d += F::bytes, sx += m.stepXX, sy += m.stepYX)
                    PutSmooth<F>(d, src, m.bounds, sx, sy, ex);
            }
            continue;
        }
        // One source row read pixel by pixel, forwards or backwards: a plain or mirrored copy.
        if (m.stepYX == 0 && (m.stepXX == TURN_PIXEL || m.stepXX == -TURN_PIXEL) && opaque) {
            const BYTE* s =
                PixelAt(src, static_cast<int>(sx >> 33), static_cast<int>(sy >> 33), F::bytes);
            if (m.stepXX > 0)
                std::memcpy(d, s, static_cast<size_t>(count) * F::bytes);
            else
                ChooseMirrorRows<F>()(d, 0, s, 0, 1, count);
            continue;
        }
        for (int i = 0; i < count; ++i, d += F::bytes, sx += m.stepXX, sy += m.stepYX)
            PutNearest<F>(d, src, sx, sy, ex);
    }
}

template <class F>
void TurnRowsReference(const PixelRect& dst, const PixelRect& src, const TurnMap& m,
                       const TurnExtras& ex) {
    int64_t lowX, highX, lowY, highY;
    SampleLimits(m, &lowX, &highX, &lowY, &highY);
    for (int y = m.box.top; y < m.box.bottom; ++y)
        for (int x = m.box.left; x < m.box.right; ++x) {
            const int64_t i = x - m.box.left, j = y - m.box.top;
            const int64_t sx = m.originX + i * m.stepXX + j * m.stepXY;
            const int64_t sy = m.originY + i * m.stepYX + j * m.stepYY;
            if (sx < lowX || sx >= highX || sy < lowY || sy >= highY) continue;
            BYTE* d = PixelAt(dst, x, y, F::bytes);
            if (!m.smooth)
                PutNearest<F>(d, src, sx, sy, ex);
            else if constexpr (F::mixes)
                PutSmooth<F>(d, src, m.bounds, sx, sy, ex);
        }
}

// v times 2^32 (exact, a power of two), rounded half away from zero as llround does, without its
// call: the fraction left after truncation is exact, and a value too large to have one is whole.
int64_t Fixed(double v) {
    const double r = v * 4294967296.0;
    int64_t t = static_cast<int64_t>(r);
    const double fraction = r - static_cast<double>(t);
    if (fraction >= 0.5)
        ++t;
    else if (fraction <= -0.5)
        --t;
    return t;
}

} // namespace

// The box comes from the source's corners mapped forwards, widened by a pixel against rounding;
// the spans then keep only the pixels whose samples really land inside.
bool MakeTurnMap(const RECT& bounds, double pivotX, double pivotY, int x, int y, double degrees,
                 double scaleX, double scaleY, bool flipX, bool flipY, bool smooth,
                 const RECT& destClip, TurnMap* map) {
    double turn = degrees == 0 ? 0.0 : std::fmod(degrees, 360.0);
    if (turn < 0) turn += 360.0;
    double c, s;
    if (turn == 0) {
        c = 1, s = 0;
    } else if (turn == 90) {
        c = 0, s = 1;
    } else if (turn == 180) {
        c = -1, s = 0;
    } else if (turn == 270) {
        c = 0, s = -1;
    } else {
        const double radians = turn * (3.14159265358979323846 / 180.0);
        c = std::cos(radians);
        s = std::sin(radians);
    }
    // A quarter turn at full size about a whole-pixel pivot moves whole pixels: every sample
    // lands on a pixel's centre, so there is nothing to smooth. Off the grid, samples fall
    // between pixels and bilinear ones blend them.
    const bool unit = std::fabs(scaleX) == 1 && std::fabs(scaleY) == 1;
    auto whole = [&] { return pivotX == std::floor(pivotX) && pivotY == std::floor(pivotY); };
    // Unturned at full size, mirrored or not, by nearest sample: the source pixel of each
    // destination pixel is a whole-pixel offset from it, so the box is exactly the pixels that
    // land inside, worked out in integers (the general way below would give the same samples over
    // a box a pixel wider).
    if (turn == 0 && unit && (!smooth || whole())) {
        const bool backX = (scaleX < 0) != flipX, backY = (scaleY < 0) != flipY;
        const int64_t px = Fixed(pivotX), py = Fixed(pivotY);
        // Destination pixel d reads source pixel d - x + k forwards, or k - (d - x) backwards.
        auto span = [](bool back, int64_t pivot, int64_t at, LONG low, LONG high, LONG clipLow,
                       LONG clipHigh, LONG* from, LONG* to) {
            int64_t a, b;
            if (!back) {
                const int64_t k = (pivot + (int64_t{1} << 31)) >> 32;
                a = at + low - k, b = at + high - k;
            } else {
                const int64_t k = (pivot - (int64_t{1} << 31)) >> 32;
                a = at + k - high + 1, b = at + k - low + 1;
            }
            a = std::max<int64_t>(a, clipLow), b = std::min<int64_t>(b, clipHigh);
            *from = static_cast<LONG>(a), *to = static_cast<LONG>(std::max(a, b));
            return a < b;
        };
        RECT box;
        if (!span(backX, px, x, bounds.left, bounds.right, destClip.left, destClip.right, &box.left,
                  &box.right) ||
            !span(backY, py, y, bounds.top, bounds.bottom, destClip.top, destClip.bottom, &box.top,
                  &box.bottom))
            return false;
        map->box = box;
        map->bounds = bounds;
        map->smooth = false;
        const int64_t xx = backX ? -(int64_t{1} << 32) : int64_t{1} << 32;
        const int64_t yy = backY ? -(int64_t{1} << 32) : int64_t{1} << 32;
        map->originX = 2 * px + xx * (2 * static_cast<int64_t>(box.left) + 1 - 2 * int64_t{x});
        map->originY = 2 * py + yy * (2 * static_cast<int64_t>(box.top) + 1 - 2 * int64_t{y});
        map->stepXX = 2 * xx, map->stepXY = 0, map->stepYX = 0, map->stepYY = 2 * yy;
        return true;
    }
    if (smooth && (c == 0 || s == 0) && unit && whole()) smooth = false;
    const double mx = flipX ? -scaleX : scaleX, my = flipY ? -scaleY : scaleY;

    const double reach = smooth ? 0.5 : 0;
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (double qx : {bounds.left - reach - pivotX, bounds.right + reach - pivotX})
        for (double qy : {bounds.top - reach - pivotY, bounds.bottom + reach - pivotY}) {
            const double u = mx * qx, v = my * qy;
            const double dx = x + c * u - s * v, dy = y + s * u + c * v;
            minX = std::min(minX, dx), maxX = std::max(maxX, dx);
            minY = std::min(minY, dy), maxY = std::max(maxY, dy);
        }
    const double left = std::max<double>(destClip.left, std::floor(minX) - 1);
    const double right = std::min<double>(destClip.right, std::ceil(maxX) + 1);
    const double top = std::max<double>(destClip.top, std::floor(minY) - 1);
    const double bottom = std::min<double>(destClip.bottom, std::ceil(maxY) + 1);
    if (!(left < right && top < bottom)) return false;
    map->box = {static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                static_cast<LONG>(bottom)};
    map->bounds = bounds;
    map->smooth = smooth;

    // The inverse: a destination offset (u, v) from (x, y) reads the source at the pivot plus
    // (c u + s v) / mx across and (c v - s u) / my down.
    const int64_t xx = Fixed(c / mx), xy = Fixed(s / mx), yx = Fixed(-s / my), yy = Fixed(c / my);
    const int64_t u2 = 2 * static_cast<int64_t>(map->box.left) + 1 - 2 * static_cast<int64_t>(x);
    const int64_t v2 = 2 * static_cast<int64_t>(map->box.top) + 1 - 2 * static_cast<int64_t>(y);
    map->originX = 2 * Fixed(pivotX) + xx * u2 + xy * v2;
    map->originY = 2 * Fixed(pivotY) + yx * u2 + yy * v2;
    map->stepXX = 2 * xx;
    map->stepXY = 2 * xy;
    map->stepYX = 2 * yx;
    map->stepYY = 2 * yy;
    return true;
}

void TurnRect(int depth, const PixelRect& dst, const PixelRect& src, const TurnMap& map,
              const TurnExtras& extras) {
    WithPixelFormat(depth, [&](auto format) { TurnRows<decltype(format)>(dst, src, map, extras); });
}

void TurnRectReference(int depth, const PixelRect& dst, const PixelRect& src, const TurnMap& map,
                       const TurnExtras& extras) {
    WithPixelFormat(
        depth, [&](auto format) { TurnRowsReference<decltype(format)>(dst, src, map, extras); });
}
