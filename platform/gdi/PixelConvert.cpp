// The row converters of PixelConvert.h: the reference path (masks, one pixel at a time, a full
// nearest-colour search) and the fast path (templates per source and destination layout,
// lookup tables for indexed sources, a cache for nearest colours, plain copies where the
// layouts agree).
#include "gdi/PixelConvert.h"

#include "cpu/ProcessorFeatures.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define TARN_PIXEL_X86 1
#include <immintrin.h>
#endif

namespace tarn::platform {

Channel ChannelOf(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    while (c.shift + c.width < 32 && ((mask >> (c.shift + c.width)) & 1)) ++c.width;
    return c;
}

namespace {

bool Contiguous(uint32_t mask) {
    if (!mask) return false;
    Channel c = ChannelOf(mask);
    uint64_t rebuilt = ((uint64_t{1} << c.width) - 1) << c.shift;
    return rebuilt == mask;
}

inline uint32_t Load16(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 16 | g << 8 | b;
}

// ---------------------------------------------------------------------------------------------
// Reference path
// ---------------------------------------------------------------------------------------------

uint32_t ReadChannels(const Channel* ch, uint32_t v) {
    uint32_t out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = ch[i].width ? Rescale((v & ch[i].mask) >> ch[i].shift, ch[i].width, 8) : 0;
    return Rgb(out[0], out[1], out[2]);
}

uint32_t PackChannels(const Channel* ch, uint32_t rgb) {
    uint32_t in[3] = {(rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF};
    uint32_t v = 0;
    for (int i = 0; i < 3; ++i)
        if (ch[i].width) v |= Rescale(in[i], 8, ch[i].width) << ch[i].shift;
    return v;
}

// ---------------------------------------------------------------------------------------------
// Fast path
// ---------------------------------------------------------------------------------------------

template <SourceKind S>
inline uint32_t ReadRgb(const ConvertContext& ctx, const uint8_t* row, int x) {
    if constexpr (S == SourceKind::Rgb555) {
        uint32_t v = Load16(row + 2 * x);
        uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        return Rgb(r << 3 | r >> 2, g << 3 | g >> 2, b << 3 | b >> 2);
    } else if constexpr (S == SourceKind::Rgb565) {
        uint32_t v = Load16(row + 2 * x);
        uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return Rgb(r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2);
    } else if constexpr (S == SourceKind::Bgr24) {
        const uint8_t* p = row + 3 * x;
        return Rgb(p[2], p[1], p[0]);
    } else if constexpr (S == SourceKind::Bgrx32) {
        return Load32(row + 4 * x) & 0xFFFFFF;
    } else if constexpr (S == SourceKind::Masked16) {
        return ReadChannels(ctx.srcChannels, Load16(row + 2 * x));
    } else {
        static_assert(S == SourceKind::Masked32);
        return ReadChannels(ctx.srcChannels, Load32(row + 4 * x));
    }
}

inline uint8_t CachedNearest(ConvertContext& ctx, uint32_t rgb) {
    uint32_t slot = ((rgb >> 12) & 0xF00) | ((rgb >> 8) & 0xF0) | ((rgb >> 4) & 0xF);
    if (ctx.cacheKey[slot] != rgb) {
        ctx.cacheKey[slot] = rgb;
        ctx.cacheIndex[slot] = NearestIndex(ctx.dst.palette, rgb);
    }
    return ctx.cacheIndex[slot];
}

template <DestKind D> inline void Put(ConvertContext& ctx, uint8_t* out, uint32_t rgb) {
    uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
    if constexpr (D == DestKind::Index8) {
        *out = CachedNearest(ctx, rgb);
    } else if constexpr (D == DestKind::Rgb555) {
        uint16_t v = (uint16_t)((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        std::memcpy(out, &v, 2);
    } else if constexpr (D == DestKind::Rgb565) {
        uint16_t v = (uint16_t)((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        std::memcpy(out, &v, 2);
    } else if constexpr (D == DestKind::Bgr24) {
        out[0] = (uint8_t)b, out[1] = (uint8_t)g, out[2] = (uint8_t)r;
    } else if constexpr (D == DestKind::Xrgb32) {
        std::memcpy(out, &rgb, 4);
    } else if constexpr (D == DestKind::Masked16) {
        uint16_t v = (uint16_t)PackChannels(ctx.dstChannels, rgb);
        std::memcpy(out, &v, 2);
    } else {
        static_assert(D == DestKind::Masked32);
        uint32_t v = PackChannels(ctx.dstChannels, rgb);
        std::memcpy(out, &v, 4);
    }
}

template <DestKind D> constexpr int Bytes() {
    return D == DestKind::Index8                              ? 1
           : D == DestKind::Bgr24                             ? 3
           : D == DestKind::Xrgb32 || D == DestKind::Masked32 ? 4
                                                              : 2;
}

// Direct-colour source to any destination.
template <SourceKind S, DestKind D>
void DirectRow(uint8_t* dst, const uint8_t* src, int x0, int count, ConvertContext& ctx) {
    constexpr int n = Bytes<D>();
    for (int i = 0; i < count; ++i) Put<D>(ctx, dst + i * n, ReadRgb<S>(ctx, src, x0 + i));
}

// Indexed source: every index was converted once into ctx.lut.
template <int Bits, int DstBytes>
void IndexedRow(uint8_t* dst, const uint8_t* src, int x0, int count, ConvertContext& ctx) {
    for (int i = 0; i < count; ++i) {
        int x = x0 + i;
        uint32_t index;
        if constexpr (Bits == 8)
            index = src[x];
        else if constexpr (Bits == 4)
            index = (src[x >> 1] >> ((~x & 1) * 4)) & 0xF;
        else
            index = (src[x >> 3] >> (7 - (x & 7))) & 1;
        uint32_t v = ctx.lut[index];
        if constexpr (DstBytes == 1) {
            dst[i] = (uint8_t)v;
        } else if constexpr (DstBytes == 2) {
            uint16_t w = (uint16_t)v;
            std::memcpy(dst + 2 * i, &w, 2);
        } else if constexpr (DstBytes == 3) {
            dst[3 * i] = (uint8_t)v, dst[3 * i + 1] = (uint8_t)(v >> 8),
                    dst[3 * i + 2] = (uint8_t)(v >> 16);
        } else {
            std::memcpy(dst + 4 * i, &v, 4);
        }
    }
}

// 8-bit indices to 16-bit pixels from the 16-bit table, four per step with independent
// lookups (the machines without the vector path below).
void Index8To16Row(uint8_t* dst, const uint8_t* src, int x0, int count, ConvertContext& ctx) {
    const uint8_t* in = src + x0;
    const uint16_t* lut = ctx.lut16;
    uint16_t* out = reinterpret_cast<uint16_t*>(dst);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const uint16_t a = lut[in[i]], b = lut[in[i + 1]], c = lut[in[i + 2]], d = lut[in[i + 3]];
        std::memcpy(out + i, &a, 2);
        std::memcpy(out + i + 1, &b, 2);
        std::memcpy(out + i + 2, &c, 2);
        std::memcpy(out + i + 3, &d, 2);
    }
    for (; i < count; ++i) std::memcpy(out + i, &lut[in[i]], 2);
}

// Layouts that agree: the bytes are copied (with the unused bits cleared).
void CopyRow24(uint8_t* dst, const uint8_t* src, int x0, int count, ConvertContext&) {
    std::memcpy(dst, src + 3 * x0, (size_t)count * 3);
}
void CopyRow565(uint8_t* dst, const uint8_t* src, int x0, int count, ConvertContext&) {
    std::memcpy(dst, src + 2 * x0, (size_t)count * 2);
}
void CopyRow555(uint8_t* dst, const uint8_t* src, int x0, int count, ConvertContext&) {
    for (int i = 0; i < count; ++i) {
        uint16_t v;
        std::memcpy(&v, src + 2 * (x0 + i), 2);
        v &= 0x7FFF;
        std::memcpy(dst + 2 * i, &v, 2);
    }
}
void CopyRow32(uint8_t* dst, const uint8_t* src, int x0, int count, ConvertContext&) {
    for (int i = 0; i < count; ++i) {
        uint32_t v;
        std::memcpy(&v, src + 4 * (x0 + i), 4);
        v &= 0xFFFFFF;
        std::memcpy(dst + 4 * i, &v, 4);
    }
}

// ---------------------------------------------------------------------------------------------
// Vector rows for the conversions pictures take on their way into 16-bit surfaces: eight pixels
// per step, the last few by the plain loop. The bit arithmetic is the fast path's own
// (truncation to 5 and 6 bits), so the results are the same to the bit.
// ---------------------------------------------------------------------------------------------

#if TARN_PIXEL_X86
// Blue-green-red bytes to 5-6-5 (or 5-5-5). Eight pixels are 24 bytes, read as two overlapping
// 16-byte loads; byte shuffles gather each pixel's blue and green into one 16-bit lane and its
// red into another, and three masks and shifts pack them.
template <bool G6>
__attribute__((target("ssse3"))) void Bgr24To16Ssse3(uint8_t* dst, const uint8_t* src, int x0,
                                                     int count, ConvertContext& ctx) {
    const uint8_t* in = src + 3 * x0;
    // Pixels 0-4 come from the first load (bytes 0-15), pixels 5-7 from the second (bytes 8-23).
    const __m128i blueGreenA =
        _mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, 12, 13, -1, -1, -1, -1, -1, -1);
    const __m128i blueGreenB =
        _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 7, 8, 10, 11, 13, 14);
    const __m128i redA = _mm_setr_epi8(2, -1, 5, -1, 8, -1, 11, -1, 14, -1, -1, -1, -1, -1, -1, -1);
    const __m128i redB =
        _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 9, -1, 12, -1, 15, -1);
    const __m128i top5 = _mm_set1_epi16(0xF8);
    const __m128i greenField = _mm_set1_epi16(G6 ? 0x07E0 : 0x03E0);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * i + 8));
        const __m128i bg =
            _mm_or_si128(_mm_shuffle_epi8(a, blueGreenA), _mm_shuffle_epi8(b, blueGreenB));
        const __m128i r = _mm_or_si128(_mm_shuffle_epi8(a, redA), _mm_shuffle_epi8(b, redB));
        __m128i out = _mm_slli_epi16(_mm_and_si128(r, top5), G6 ? 8 : 7);
        out = _mm_or_si128(out, _mm_and_si128(_mm_srli_epi16(bg, G6 ? 5 : 6), greenField));
        out = _mm_or_si128(out, _mm_srli_epi16(_mm_and_si128(bg, top5), 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i), out);
    }
    if (i < count)
        DirectRow<SourceKind::Bgr24, G6 ? DestKind::Rgb565 : DestKind::Rgb555>(
            dst + 2 * i, src, x0 + i, count - i, ctx);
}
#endif

#if defined(__SSE2__)
// 0x00RRGGBB words to 5-6-5 (or 5-5-5), eight pixels per step: shifts and masks on 32-bit lanes,
// then a pack to 16 bits (each value sign-extended first, so the saturating pack keeps it).
template <bool G6>
void Bgrx32To16Sse2(uint8_t* dst, const uint8_t* src, int x0, int count, ConvertContext& ctx) {
    const uint8_t* in = src + 4 * x0;
    const __m128i redField = _mm_set1_epi32(G6 ? 0xF800 : 0x7C00);
    const __m128i greenField = _mm_set1_epi32(G6 ? 0x07E0 : 0x03E0);
    const __m128i blueField = _mm_set1_epi32(0x001F);
    auto pack = [&](__m128i v) {
        __m128i out = _mm_and_si128(_mm_srli_epi32(v, G6 ? 8 : 9), redField);
        out = _mm_or_si128(out, _mm_and_si128(_mm_srli_epi32(v, G6 ? 5 : 6), greenField));
        out = _mm_or_si128(out, _mm_and_si128(_mm_srli_epi32(v, 3), blueField));
        return _mm_srai_epi32(_mm_slli_epi32(out, 16), 16);
    };
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * i + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i),
                         _mm_packs_epi32(pack(a), pack(b)));
    }
    if (i < count)
        DirectRow<SourceKind::Bgrx32, G6 ? DestKind::Rgb565 : DestKind::Rgb555>(
            dst + 2 * i, src, x0 + i, count - i, ctx);
}
#endif

#if TARN_PIXEL_X86
// 8-bit indices to 16-bit pixels, 32 per step, with the whole 256-entry table in eight
// registers: four two-register word permutes look each index up by its low six bits in every
// quarter of the table, and bits 6 and 7 pick the quarter.
__attribute__((target("avx512f,avx512bw"))) void
Index8To16Avx512(uint8_t* dst, const uint8_t* src, int x0, int count, ConvertContext& ctx) {
    const uint8_t* in = src + x0;
    __m512i table[8];
    for (int k = 0; k < 8; ++k)
        table[k] = _mm512_loadu_si512(reinterpret_cast<const void*>(ctx.lut16 + 32 * k));
    const __m512i bit6 = _mm512_set1_epi16(0x40);
    const __m512i bit7 = _mm512_set1_epi16(0x80);
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m512i index =
            _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i)));
        const __m512i q0 = _mm512_permutex2var_epi16(table[0], index, table[1]);
        const __m512i q1 = _mm512_permutex2var_epi16(table[2], index, table[3]);
        const __m512i q2 = _mm512_permutex2var_epi16(table[4], index, table[5]);
        const __m512i q3 = _mm512_permutex2var_epi16(table[6], index, table[7]);
        const __mmask32 upper = _mm512_test_epi16_mask(index, bit6);
        const __m512i low = _mm512_mask_blend_epi16(upper, q0, q1);
        const __m512i high = _mm512_mask_blend_epi16(upper, q2, q3);
        const __m512i out = _mm512_mask_blend_epi16(_mm512_test_epi16_mask(index, bit7), low, high);
        _mm512_storeu_si512(reinterpret_cast<void*>(dst + 2 * i), out);
    }
    if (i < count) Index8To16Row(dst + 2 * i, src, x0 + i, count - i, ctx);
}
#endif

template <SourceKind S> RowConverter DirectFor(DestKind d) {
    switch (d) {
    case DestKind::Index8:
        return DirectRow<S, DestKind::Index8>;
    case DestKind::Rgb555:
        return DirectRow<S, DestKind::Rgb555>;
    case DestKind::Rgb565:
        return DirectRow<S, DestKind::Rgb565>;
    case DestKind::Bgr24:
        return DirectRow<S, DestKind::Bgr24>;
    case DestKind::Xrgb32:
        return DirectRow<S, DestKind::Xrgb32>;
    case DestKind::Masked16:
        return DirectRow<S, DestKind::Masked16>;
    case DestKind::Masked32:
        return DirectRow<S, DestKind::Masked32>;
    }
    return nullptr;
}

template <int Bits> RowConverter IndexedFor(DestKind d) {
    switch (DestBytes(d)) {
    case 1:
        return IndexedRow<Bits, 1>;
    case 2:
        return IndexedRow<Bits, 2>;
    case 3:
        return IndexedRow<Bits, 3>;
    default:
        return IndexedRow<Bits, 4>;
    }
}

} // namespace

uint32_t Rescale(uint32_t value, int from, int to) {
    if (from <= 0 || to <= 0) return 0;
    uint64_t v = value & ((uint64_t{1} << from) - 1);
    uint64_t r = v;
    int bits = from;
    while (bits < to) {
        r = (r << from) | v;
        bits += from;
    }
    return (uint32_t)(r >> (bits - to));
}

uint8_t NearestIndex(const uint32_t* palette, uint32_t rgb) {
    int r = (int)(rgb >> 16 & 0xFF), g = (int)(rgb >> 8 & 0xFF), b = (int)(rgb & 0xFF);
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < 256; ++i) {
        int dr = r - (int)(palette[i] >> 16 & 0xFF);
        int dg = g - (int)(palette[i] >> 8 & 0xFF);
        int db = b - (int)(palette[i] & 0xFF);
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0) break;
        }
    }
    return (uint8_t)best;
}

int SourceBits(SourceKind kind) {
    switch (kind) {
    case SourceKind::Index1:
        return 1;
    case SourceKind::Index4:
        return 4;
    case SourceKind::Index8:
        return 8;
    case SourceKind::Rgb555:
    case SourceKind::Rgb565:
    case SourceKind::Masked16:
        return 16;
    case SourceKind::Bgr24:
        return 24;
    default:
        return 32;
    }
}

int DestBytes(DestKind kind) {
    switch (kind) {
    case DestKind::Index8:
        return 1;
    case DestKind::Bgr24:
        return 3;
    case DestKind::Xrgb32:
    case DestKind::Masked32:
        return 4;
    default:
        return 2;
    }
}

bool ClassifyMasks(int bits, const uint32_t masks[3], SourceKind* out) {
    uint32_t limit = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (int i = 0; i < 3; ++i) {
        if (!Contiguous(masks[i]) || (masks[i] & ~limit)) return false;
        if (masks[i] & masks[(i + 1) % 3]) return false;
    }
    if (bits == 16) {
        if (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)
            *out = SourceKind::Rgb555;
        else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
            *out = SourceKind::Rgb565;
        else
            *out = SourceKind::Masked16;
        return true;
    }
    if (bits == 32) {
        bool plain = masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
        *out = plain ? SourceKind::Bgrx32 : SourceKind::Masked32;
        return true;
    }
    return false;
}

bool DescribeDest(const PixelTarget& t, DestFormat* out) {
    const uint32_t masks[3] = {t.redMask, t.greenMask, t.blueMask};
    *out = DestFormat{};
    SourceKind kind;
    switch (t.bits) {
    case 8:
        out->kind = DestKind::Index8;
        out->palette = t.palette ? t.palette : DefaultPalette();
        return true;
    case 16:
        if (!ClassifyMasks(16, masks, &kind)) return false;
        out->kind = kind == SourceKind::Rgb555   ? DestKind::Rgb555
                    : kind == SourceKind::Rgb565 ? DestKind::Rgb565
                                                 : DestKind::Masked16;
        break;
    case 24:
        if (masks[0] != 0xFF0000 || masks[1] != 0xFF00 || masks[2] != 0xFF) return false;
        out->kind = DestKind::Bgr24;
        break;
    case 32:
        if (!ClassifyMasks(32, masks, &kind)) return false;
        out->kind = kind == SourceKind::Bgrx32 ? DestKind::Xrgb32 : DestKind::Masked32;
        break;
    default:
        return false;
    }
    std::memcpy(out->masks, masks, sizeof masks);
    return true;
}

bool DescribeTargetAsSource(const PixelTarget& t, SourceFormat* out) {
    *out = SourceFormat{};
    const uint32_t masks[3] = {t.redMask, t.greenMask, t.blueMask};
    std::memcpy(out->masks, masks, sizeof masks);
    switch (t.bits) {
    case 8: {
        out->kind = SourceKind::Index8;
        const uint32_t* palette = t.palette ? t.palette : DefaultPalette();
        std::memcpy(out->colours, palette, sizeof out->colours);
        return true;
    }
    case 16:
    case 32:
        return ClassifyMasks(t.bits, masks, &out->kind);
    case 24:
        if (masks[0] != 0xFF0000 || masks[1] != 0xFF00 || masks[2] != 0xFF) return false;
        out->kind = SourceKind::Bgr24;
        return true;
    default:
        return false;
    }
}

void PrepareConversion(const SourceFormat& src, const DestFormat& dst, ConvertContext* ctx) {
    ctx->src = src;
    ctx->dst = dst;
    // The plain layouts are described by masks too, so the reference path needs no cases.
    uint32_t srcMasks[3];
    switch (src.kind) {
    case SourceKind::Rgb555:
        srcMasks[0] = 0x7C00, srcMasks[1] = 0x3E0, srcMasks[2] = 0x1F;
        break;
    case SourceKind::Rgb565:
        srcMasks[0] = 0xF800, srcMasks[1] = 0x7E0, srcMasks[2] = 0x1F;
        break;
    case SourceKind::Bgr24:
    case SourceKind::Bgrx32:
        srcMasks[0] = 0xFF0000, srcMasks[1] = 0xFF00, srcMasks[2] = 0xFF;
        break;
    default:
        std::memcpy(srcMasks, src.masks, sizeof srcMasks);
        break;
    }
    uint32_t dstMasks[3];
    switch (dst.kind) {
    case DestKind::Rgb555:
        dstMasks[0] = 0x7C00, dstMasks[1] = 0x3E0, dstMasks[2] = 0x1F;
        break;
    case DestKind::Rgb565:
        dstMasks[0] = 0xF800, dstMasks[1] = 0x7E0, dstMasks[2] = 0x1F;
        break;
    case DestKind::Bgr24:
    case DestKind::Xrgb32:
        dstMasks[0] = 0xFF0000, dstMasks[1] = 0xFF00, dstMasks[2] = 0xFF;
        break;
    default:
        std::memcpy(dstMasks, dst.masks, sizeof dstMasks);
        break;
    }
    for (int i = 0; i < 3; ++i) {
        ctx->srcChannels[i] = ChannelOf(srcMasks[i]);
        ctx->dstChannels[i] = ChannelOf(dstMasks[i]);
    }
    if (dst.kind == DestKind::Index8 && !ctx->dst.palette) ctx->dst.palette = DefaultPalette();
    std::memset(ctx->cacheKey, 0xFF, sizeof ctx->cacheKey); // no RGB value has the top byte set
    bool indexed = src.kind == SourceKind::Index1 || src.kind == SourceKind::Index4 ||
                   src.kind == SourceKind::Index8;
    if (indexed)
        for (int i = 0; i < 256; ++i) {
            ctx->lut[i] = ReferenceEncode(*ctx, src.colours[i]);
            ctx->lut16[i] = static_cast<uint16_t>(ctx->lut[i]);
        }
}

uint32_t ReferenceReadRgb(const ConvertContext& ctx, const uint8_t* row, int x) {
    switch (ctx.src.kind) {
    case SourceKind::Index1:
        return ctx.src.colours[(row[x >> 3] >> (7 - (x & 7))) & 1];
    case SourceKind::Index4:
        return ctx.src.colours[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
    case SourceKind::Index8:
        return ctx.src.colours[row[x]];
    case SourceKind::Rgb555:
    case SourceKind::Rgb565:
    case SourceKind::Masked16:
        return ReadChannels(ctx.srcChannels, Load16(row + 2 * x));
    case SourceKind::Bgr24: {
        const uint8_t* p = row + 3 * x;
        return ReadChannels(ctx.srcChannels,
                            (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16);
    }
    default:
        return ReadChannels(ctx.srcChannels, Load32(row + 4 * x));
    }
}

uint32_t ReferenceEncode(const ConvertContext& ctx, uint32_t rgb) {
    if (ctx.dst.kind == DestKind::Index8) return NearestIndex(ctx.dst.palette, rgb);
    return PackChannels(ctx.dstChannels, rgb);
}

void ReferenceConvertRow(uint8_t* dst, const uint8_t* srcRow, int x0, int count,
                         ConvertContext& ctx) {
    int n = DestBytes(ctx.dst.kind);
    for (int i = 0; i < count; ++i) {
        uint32_t v = ReferenceEncode(ctx, ReferenceReadRgb(ctx, srcRow, x0 + i));
        for (int b = 0; b < n; ++b) dst[i * n + b] = (uint8_t)(v >> (8 * b));
    }
}

RowConverter FastRowConverter(const ConvertContext& ctx) {
    DestKind d = ctx.dst.kind;
    switch (ctx.src.kind) {
    case SourceKind::Index1:
        return IndexedFor<1>(d);
    case SourceKind::Index4:
        return IndexedFor<4>(d);
    case SourceKind::Index8:
        if (DestBytes(d) == 2) {
#if TARN_PIXEL_X86
            if (cpu::HasAvx512Bw()) return Index8To16Avx512;
#endif
            return Index8To16Row;
        }
        return IndexedFor<8>(d);
    case SourceKind::Rgb555:
        if (d == DestKind::Rgb555) return CopyRow555;
        return DirectFor<SourceKind::Rgb555>(d);
    case SourceKind::Rgb565:
        if (d == DestKind::Rgb565) return CopyRow565;
        return DirectFor<SourceKind::Rgb565>(d);
    case SourceKind::Bgr24:
        if (d == DestKind::Bgr24) return CopyRow24;
#if TARN_PIXEL_X86
        if (d == DestKind::Rgb565 && cpu::HasSsse3()) return Bgr24To16Ssse3<true>;
        if (d == DestKind::Rgb555 && cpu::HasSsse3()) return Bgr24To16Ssse3<false>;
#endif
        return DirectFor<SourceKind::Bgr24>(d);
    case SourceKind::Bgrx32:
        if (d == DestKind::Xrgb32) return CopyRow32;
#if defined(__SSE2__)
        if (d == DestKind::Rgb565) return Bgrx32To16Sse2<true>;
        if (d == DestKind::Rgb555) return Bgrx32To16Sse2<false>;
#endif
        return DirectFor<SourceKind::Bgrx32>(d);
    case SourceKind::Masked16:
        return DirectFor<SourceKind::Masked16>(d);
    case SourceKind::Masked32:
        return DirectFor<SourceKind::Masked32>(d);
    }
    return ReferenceConvertRow;
}

} // namespace tarn::platform
