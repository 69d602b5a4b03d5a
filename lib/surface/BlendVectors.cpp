// The vector kernels of the constant-alpha and alpha-plane copies (see BlendVectors.h).
//
// They compute the pixel-format trait's blend, d + ((s - d) * a >> 8) per channel, in whole
// vectors of 16-bit lanes: 16-bit pixels' channels (at most 6 bits) in that same signed form,
// one product per channel; the bytes of 24- and 32-bit pixels as (d * (256 - a) + s * a) >> 8,
// the same value, which never goes negative and stays below 65536. Sixteen 16-bit pixels or
// thirty-two bytes per 32-byte step with AVX2, twice that with AVX-512BW, half that with the
// baseline vectors; the rest of a row goes in narrower vectors, its last pixels (and 24-bit keys
// and alpha planes) one at a time through the trait itself.
#include "surface/internal/BlendVectors.h"
#include "surface/internal/PixelFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#define TARN_ALWAYS_INLINE inline __attribute__((always_inline))
// The vector helpers are always inlined: no vector crosses a call, whatever its width.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

inline BYTE* RowAt(const PixelRect& r, int y) {
    return r.pixels + static_cast<std::ptrdiff_t>(y) * r.pitch;
}

// Vectors of N bytes: N / 2 16-bit lanes, or N / 2 bytes widened to them.
template <int N> struct Vec {
    typedef uint16_t U16 __attribute__((vector_size(N)));
    typedef int16_t S16 __attribute__((vector_size(N)));
    typedef uint8_t U8 __attribute__((vector_size(N)));
    typedef uint8_t U8Half __attribute__((vector_size(N / 2)));
    typedef uint32_t U32Half __attribute__((vector_size(N / 2)));
};

template <class V> TARN_ALWAYS_INLINE V Load(const BYTE* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V> TARN_ALWAYS_INLINE void Store(BYTE* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// d + ((s - d) * w >> 8) in signed lanes, for channel values and weights as unsigned lanes.
template <class S, class U> TARN_ALWAYS_INLINE S Mix16(U d, U s, U w) {
    const S sd = reinterpret_cast<S>(d);
    return sd + (((reinterpret_cast<S>(s) - sd) * reinterpret_cast<S>(w)) >> 8);
}

// 16-bit pixels, N / 2 per step; `alpha` (when not null) gives one weight byte per pixel.
template <int N, class F, bool Keyed, bool Plane>
TARN_ALWAYS_INLINE void Row16(BYTE* dst, const BYTE* src, const BYTE* alpha, int n, uint32_t a,
                              uint32_t key) {
    typedef typename Vec<N>::U16 U16;
    typedef typename Vec<N>::S16 S16;
    typedef typename Vec<N>::U8Half U8Half;
    constexpr int RedShift = F::redShift;
    constexpr uint16_t GreenMax = F::greenMax;
    const int lanes = N / 2;
    int x = 0;
    for (; x + lanes <= n; x += lanes) {
        const U16 s = Load<U16>(src + 2 * x);
        const U16 d = Load<U16>(dst + 2 * x);
        U16 w;
        if constexpr (Plane) {
            w = __builtin_convertvector(Load<U8Half>(alpha + x), U16);
            w += w >> 7;
        } else {
            w = U16{} + static_cast<uint16_t>(a);
        }
        // Channels of at most 6 bits: (s - d) * w stays within a signed 16-bit lane, so one
        // product per channel does, with the floor by an arithmetic shift.
        const S16 r = Mix16<S16>(d >> RedShift & 31, s >> RedShift & 31, w);
        const S16 g = Mix16<S16>(d >> 5 & GreenMax, s >> 5 & GreenMax, w);
        const S16 b = Mix16<S16>(d & 31, s & 31, w);
        U16 out = reinterpret_cast<U16>(r) << RedShift | reinterpret_cast<U16>(g) << 5 |
                  reinterpret_cast<U16>(b);
        if constexpr (Keyed) {
            const U16 skip = reinterpret_cast<U16>(s == static_cast<uint16_t>(key));
            out = (skip & d) | (~skip & out);
        }
        Store(dst + 2 * x, out);
    }
    if constexpr (N > 16) { // the rest in narrower vectors first
        Row16<N / 2, F, Keyed, Plane>(dst + 2 * x, src + 2 * x, Plane ? alpha + x : alpha, n - x, a,
                                      key);
        return;
    }
    for (; x < n; ++x) {
        const DWORD s = F::Load(src + 2 * x);
        if (Keyed && s == key) continue;
        int w = static_cast<int>(a);
        if constexpr (Plane) w = alpha[x] + (alpha[x] >> 7);
        F::Store(dst + 2 * x, F::Blend(F::Load(dst + 2 * x), s, w));
    }
}

// 24- and 32-bit pixels as bytes, N / 2 bytes per step: every byte is a channel, except the top
// byte of a 32-bit pixel, which comes out zero. A plain 24-bit row is one run of bytes; keyed or
// weighted 24-bit rows go one pixel at a time.
template <int N, class F, bool Keyed, bool Plane>
TARN_ALWAYS_INLINE void RowBytes(BYTE* dst, const BYTE* src, const BYTE* alpha, int n, uint32_t a,
                                 uint32_t key) {
    typedef typename Vec<N>::U16 U16;
    typedef typename Vec<N>::U8Half U8Half;
    typedef typename Vec<N>::U32Half U32Half;
    constexpr int Bytes = F::bytes;
    const int stepBytes = N / 2;
    int x = 0;
    if constexpr (Bytes == 4 || (!Keyed && !Plane)) {
        U16 keep = U16{} + static_cast<uint16_t>(0xFFFF);
        if constexpr (Bytes == 4)
            for (int i = 3; i < N / 2; i += 4) keep[i] = 0;
        const int limit = n * Bytes;
        int at = 0;
        for (; at + stepBytes <= limit; at += stepBytes) {
            const U8Half sb = Load<U8Half>(src + at);
            const U8Half db = Load<U8Half>(dst + at);
            const U16 s = __builtin_convertvector(sb, U16);
            const U16 d = __builtin_convertvector(db, U16);
            U16 w;
            if constexpr (Plane) {
                for (int i = 0; i < N / 2; ++i) w[i] = alpha[at / 4 + i / 4];
                w += w >> 7;
            } else {
                w = U16{} + static_cast<uint16_t>(a);
            }
            U8Half out = __builtin_convertvector(((d * (256 - w) + s * w) >> 8) & keep, U8Half);
            if constexpr (Keyed) {
                const U8Half skip = reinterpret_cast<U8Half>(Load<U32Half>(src + at) == key);
                out = (skip & db) | (~skip & out);
            }
            Store(dst + at, out);
        }
        if constexpr (N > 16 && Bytes == 4) { // the rest in narrower vectors first
            RowBytes<N / 2, F, Keyed, Plane>(dst + at, src + at, Plane ? alpha + at / 4 : alpha,
                                             n - at / 4, a, key);
            return;
        }
        if constexpr (Bytes == 3) {
            for (; at < limit; ++at)
                dst[at] = static_cast<BYTE>(pixel_format::MixChannel(dst[at], src[at], a));
            return;
        }
        x = at / 4;
    }
    for (; x < n; ++x) {
        const DWORD s = F::Load(src + Bytes * x);
        if (Keyed && s == key) continue;
        int w = static_cast<int>(a);
        if constexpr (Plane) w = alpha[x] + (alpha[x] >> 7);
        BYTE* d = dst + Bytes * x;
        F::Store(d, F::Blend(F::Load(d), s, w));
    }
}

// 8-bit pixels: the source index where the weight allows (a plane's byte of at least 128), or
// everywhere but the key.
template <int N, bool Keyed, bool Plane>
TARN_ALWAYS_INLINE void Row8(BYTE* dst, const BYTE* src, const BYTE* alpha, int n, uint32_t key) {
    if constexpr (!Keyed && !Plane) {
        std::memcpy(dst, src, static_cast<size_t>(n));
        return;
    }
    typedef typename Vec<N>::U8 U8;
    int x = 0;
    for (; x + N <= n; x += N) {
        const U8 s = Load<U8>(src + x);
        const U8 d = Load<U8>(dst + x);
        U8 take;
        if constexpr (Plane)
            take = reinterpret_cast<U8>(Load<U8>(alpha + x) >= 128);
        else
            take = reinterpret_cast<U8>(s != static_cast<uint8_t>(key));
        Store(dst + x, (take & s) | (~take & d));
    }
    if constexpr (N > 16) { // the rest in narrower vectors first
        Row8<N / 2, Keyed, Plane>(dst + x, src + x, Plane ? alpha + x : alpha, n - x, key);
        return;
    }
    for (; x < n; ++x) {
        if (Plane ? alpha[x] >= 128 : src[x] != key) dst[x] = src[x];
    }
}

template <int N, bool Keyed, bool Plane>
TARN_ALWAYS_INLINE void Rows(int depth, const PixelRect& dst, const PixelRect& src,
                             const PixelRect* alpha, uint32_t a, uint32_t key) {
    for (int y = 0; y < src.height; ++y) {
        BYTE* d = RowAt(dst, y);
        const BYTE* s = RowAt(src, y);
        const BYTE* w = Plane ? RowAt(*alpha, y) : nullptr;
        switch (depth) {
        case 8:
            Row8<N, Keyed, Plane>(d, s, w, src.width, key);
            break;
        case 15:
            Row16<N, PixelFormat<15>, Keyed, Plane>(d, s, w, src.width, a, key);
            break;
        case 16:
            Row16<N, PixelFormat<16>, Keyed, Plane>(d, s, w, src.width, a, key);
            break;
        case 24:
            RowBytes<N, PixelFormat<24>, Keyed, Plane>(d, s, w, src.width, a, key);
            break;
        case 32:
            RowBytes<N, PixelFormat<32>, Keyed, Plane>(d, s, w, src.width, a, key);
            break;
        default:
            return;
        }
    }
}

template <int N>
TARN_ALWAYS_INLINE void Dispatch(int depth, const PixelRect& dst, const PixelRect& src,
                                 const PixelRect* alpha, int a, SourceKey key) {
    // A key wider than the pixel matches nothing.
    if (key.on && depth <= 16 && key.value > (depth == 8 ? 0xFFu : 0xFFFFu)) key.on = false;
    if (alpha != nullptr)
        Rows<N, false, true>(depth, dst, src, alpha, 0, 0);
    else if (key.on)
        Rows<N, true, false>(depth, dst, src, nullptr, static_cast<uint32_t>(a), key.value);
    else
        Rows<N, false, false>(depth, dst, src, nullptr, static_cast<uint32_t>(a), 0);
}

} // namespace

void BlendRowsBaseline(int depth, const PixelRect& dst, const PixelRect& src,
                       const PixelRect* alpha, int a, SourceKey key) {
    Dispatch<16>(depth, dst, src, alpha, a, key);
}

#if TARN_BLEND_WIDE_VECTORS
__attribute__((target("avx2"))) void BlendRowsAvx2(int depth, const PixelRect& dst,
                                                   const PixelRect& src, const PixelRect* alpha,
                                                   int a, SourceKey key) {
    Dispatch<32>(depth, dst, src, alpha, a, key);
}

__attribute__((target("avx512f,avx512bw"))) void BlendRowsAvx512(int depth, const PixelRect& dst,
                                                                 const PixelRect& src,
                                                                 const PixelRect* alpha, int a,
                                                                 SourceKey key) {
    Dispatch<64>(depth, dst, src, alpha, a, key);
}
#endif
