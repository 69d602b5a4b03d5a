// Constant-alpha and alpha-plane copies on plain memory (see BlendRoutines.h).
//
// The reference does each pixel the way the pixel routines blend: d + ((s - d) * a >> 8) per
// channel, the floor taken by an arithmetic shift. The fast version computes the same value in
// whole vectors of 16-bit lanes: 16-bit pixels' channels (at most 6 bits) in that same signed
// form, one product per channel; the bytes of 24- and 32-bit pixels as (d * (256 - a) + s * a)
// >> 8, which never goes negative and stays below 65536. Sixteen 16-bit pixels or thirty-two
// bytes per 32-byte step with AVX2, twice that with AVX-512BW (the widest the processor has,
// chosen once at run time), half that with the baseline vectors; the rest of a row goes in
// narrower vectors, its last pixels (and 24-bit keys and alpha planes) one at a time.
#include "surface/BlendRoutines.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define TARN_BLEND_X86 1
#else
#define TARN_BLEND_X86 0
#endif
// MinGW does not keep the stack 32-byte aligned for spilled AVX registers: Windows builds keep to
// the baseline vectors.
#if TARN_BLEND_X86 && !defined(_WIN32)
#define TARN_BLEND_AVX2 1
#else
#define TARN_BLEND_AVX2 0
#endif

#define TARN_ALWAYS_INLINE inline __attribute__((always_inline))
// The vector helpers are always inlined: no vector crosses a call, whatever its width.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

inline DWORD LoadPixel(const BYTE* p, int bytes) {
    DWORD v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<DWORD>(p[i]) << (8 * i);
    return v;
}

inline void StorePixel(BYTE* p, int bytes, DWORD v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

inline BYTE* RowAt(const PixelRect& r, int y) {
    return r.pixels + static_cast<std::ptrdiff_t>(y) * r.pitch;
}

inline int ClampAlpha(int alpha) {
    return alpha < 0 ? 0 : alpha > 256 ? 256 : alpha;
}

// ---- the reference: one pixel at a time, in the pixel routines' words ----

inline int MixChannel(int d, int s, int alpha) {
    return d + (((s - d) * alpha) >> 8);
}

inline DWORD MixRGB(DWORD d, DWORD s, int alpha, int redShift, int greenShift, DWORD redMax,
                    DWORD greenMax, DWORD blueMax) {
    const int r = MixChannel(static_cast<int>((d >> redShift) & redMax),
                             static_cast<int>((s >> redShift) & redMax), alpha);
    const int g = MixChannel(static_cast<int>((d >> greenShift) & greenMax),
                             static_cast<int>((s >> greenShift) & greenMax), alpha);
    const int b = MixChannel(static_cast<int>(d & blueMax), static_cast<int>(s & blueMax), alpha);
    return static_cast<DWORD>(r) << redShift | static_cast<DWORD>(g) << greenShift |
           static_cast<DWORD>(b);
}

inline DWORD MixPixel(int depth, DWORD d, DWORD s, int alpha) {
    switch (depth) {
    case 8:
        return s;
    case 15:
        return MixRGB(d, s, alpha, 10, 5, 31, 31, 31);
    case 16:
        return MixRGB(d, s, alpha, 11, 5, 31, 63, 31);
    default:
        return MixRGB(d, s, alpha, 16, 8, 255, 255, 255);
    }
}

// ---- the fast version ----

// One channel field of (d * (256 - a) + s * a) >> 8, for one pixel.
inline uint32_t Weigh(uint32_t d, uint32_t s, uint32_t a) {
    return (d * (256 - a) + s * a) >> 8;
}

inline DWORD WeighRGB16(DWORD d, DWORD s, uint32_t a, int redShift, uint32_t greenMax) {
    return Weigh((d >> redShift) & 31, (s >> redShift) & 31, a) << redShift |
           Weigh((d >> 5) & greenMax, (s >> 5) & greenMax, a) << 5 | Weigh(d & 31, s & 31, a);
}

inline DWORD WeighPixel(int depth, DWORD d, DWORD s, uint32_t a) {
    switch (depth) {
    case 8:
        return s;
    case 15:
        return WeighRGB16(d, s, a, 10, 31);
    case 16:
        return WeighRGB16(d, s, a, 11, 63);
    default:
        return Weigh(d >> 16 & 255, s >> 16 & 255, a) << 16 |
               Weigh(d >> 8 & 255, s >> 8 & 255, a) << 8 | Weigh(d & 255, s & 255, a);
    }
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
template <int N, int RedShift, uint16_t GreenMax, bool Keyed, bool Plane>
TARN_ALWAYS_INLINE void Row16(BYTE* dst, const BYTE* src, const BYTE* alpha, int n, uint32_t a,
                              uint32_t key) {
    typedef typename Vec<N>::U16 U16;
    typedef typename Vec<N>::S16 S16;
    typedef typename Vec<N>::U8Half U8Half;
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
        Row16<N / 2, RedShift, GreenMax, Keyed, Plane>(dst + 2 * x, src + 2 * x,
                                                       Plane ? alpha + x : alpha, n - x, a, key);
        return;
    }
    for (; x < n; ++x) {
        const DWORD s = LoadPixel(src + 2 * x, 2);
        if (Keyed && s == key) continue;
        uint32_t w = a;
        if constexpr (Plane) w = alpha[x] + (alpha[x] >> 7);
        StorePixel(dst + 2 * x, 2, WeighRGB16(LoadPixel(dst + 2 * x, 2), s, w, RedShift, GreenMax));
    }
}

// 24- and 32-bit pixels as bytes, N / 2 bytes per step: every byte is a channel, except the top
// byte of a 32-bit pixel, which comes out zero. A plain 24-bit row is one run of bytes; keyed or
// weighted 24-bit rows go one pixel at a time.
template <int N, int Bytes, bool Keyed, bool Plane>
TARN_ALWAYS_INLINE void RowBytes(BYTE* dst, const BYTE* src, const BYTE* alpha, int n, uint32_t a,
                                 uint32_t key) {
    typedef typename Vec<N>::U16 U16;
    typedef typename Vec<N>::U8Half U8Half;
    typedef typename Vec<N>::U32Half U32Half;
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
            RowBytes<N / 2, Bytes, Keyed, Plane>(dst + at, src + at, Plane ? alpha + at / 4 : alpha,
                                                 n - at / 4, a, key);
            return;
        }
        if constexpr (Bytes == 3) {
            for (; at < limit; ++at) dst[at] = static_cast<BYTE>(Weigh(dst[at], src[at], a));
            return;
        }
        x = at / 4;
    }
    for (; x < n; ++x) {
        const DWORD s = LoadPixel(src + Bytes * x, Bytes);
        if (Keyed && s == key) continue;
        uint32_t w = a;
        if constexpr (Plane) w = alpha[x] + (alpha[x] >> 7);
        BYTE* d = dst + Bytes * x;
        StorePixel(d, Bytes, WeighPixel(Bytes * 8, LoadPixel(d, Bytes), s, w));
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
            Row16<N, 10, 31, Keyed, Plane>(d, s, w, src.width, a, key);
            break;
        case 16:
            Row16<N, 11, 63, Keyed, Plane>(d, s, w, src.width, a, key);
            break;
        case 24:
            RowBytes<N, 3, Keyed, Plane>(d, s, w, src.width, a, key);
            break;
        case 32:
            RowBytes<N, 4, Keyed, Plane>(d, s, w, src.width, a, key);
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

void DispatchBase(int depth, const PixelRect& dst, const PixelRect& src, const PixelRect* alpha,
                  int a, SourceKey key) {
    Dispatch<16>(depth, dst, src, alpha, a, key);
}

#if TARN_BLEND_AVX2
__attribute__((target("avx2"))) void DispatchAvx2(int depth, const PixelRect& dst,
                                                  const PixelRect& src, const PixelRect* alpha,
                                                  int a, SourceKey key) {
    Dispatch<32>(depth, dst, src, alpha, a, key);
}

__attribute__((target("avx512f,avx512bw"))) void DispatchAvx512(int depth, const PixelRect& dst,
                                                                const PixelRect& src,
                                                                const PixelRect* alpha, int a,
                                                                SourceKey key) {
    Dispatch<64>(depth, dst, src, alpha, a, key);
}

bool HasAvx512() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512bw") != 0;
    }();
    return has;
}

bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

void DispatchFast(int depth, const PixelRect& dst, const PixelRect& src, const PixelRect* alpha,
                  int a, SourceKey key) {
#if TARN_BLEND_AVX2
    if (HasAvx512()) {
        DispatchAvx512(depth, dst, src, alpha, a, key);
        return;
    }
    if (HasAvx2()) {
        DispatchAvx2(depth, dst, src, alpha, a, key);
        return;
    }
#endif
    DispatchBase(depth, dst, src, alpha, a, key);
}

} // namespace

int BytesPerPixel(int depth) {
    switch (depth) {
    case 8:
        return 1;
    case 15:
    case 16:
        return 2;
    case 24:
        return 3;
    case 32:
        return 4;
    default:
        return 0;
    }
}

void BlendRect(int depth, PixelRect dst, const PixelRect& src, int alpha, SourceKey key) {
    DispatchFast(depth, dst, src, nullptr, ClampAlpha(alpha), key);
}

void AlphaRect(int depth, PixelRect dst, const PixelRect& src, const PixelRect& alpha) {
    DispatchFast(depth, dst, src, &alpha, 0, SourceKey{false, 0});
}

void BlendRectReference(int depth, PixelRect dst, const PixelRect& src, int alpha, SourceKey key) {
    const int bytes = BytesPerPixel(depth);
    if (bytes == 0) return;
    alpha = ClampAlpha(alpha);
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const DWORD s = LoadPixel(RowAt(src, y) + x * bytes, bytes);
            if (key.on && s == key.value) continue;
            BYTE* d = RowAt(dst, y) + x * bytes;
            StorePixel(d, bytes, MixPixel(depth, LoadPixel(d, bytes), s, alpha));
        }
}

void AlphaRectReference(int depth, PixelRect dst, const PixelRect& src, const PixelRect& alpha) {
    const int bytes = BytesPerPixel(depth);
    if (bytes == 0) return;
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const int a = RowAt(alpha, y)[x];
            if (depth == 8 && a < 128) continue;
            const DWORD s = LoadPixel(RowAt(src, y) + x * bytes, bytes);
            BYTE* d = RowAt(dst, y) + x * bytes;
            StorePixel(d, bytes, MixPixel(depth, LoadPixel(d, bytes), s, a + (a >> 7)));
        }
}
