// Moving pixels between surfaces: Blt (copy with nearest-neighbour scaling, or a colour fill),
// BltFast (an opaque or source-keyed copy to a position) and Flip (the chain's buffers swap
// their memory and the new front buffer is presented). Rectangles are checked once at the entry,
// strictly, as DirectDraw does without a clipper; nothing here allocates.
#include "ddraw/DirectDrawObjects.h"

#include "host/Host.h"
#include "cpu/ProcessorFeatures.h"
#include "internal/StandIn.h"

// The vector rows are built for x86 (chosen at run time); elsewhere (WebAssembly) the portable
// vector row serves alone.
#if defined(__x86_64__) || defined(__i386__)
#define TARN_BLIT_X86 1
#include <immintrin.h>
#define TARN_CLONES_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define TARN_CLONES_AVX2
#endif

#include <cstring>
#include <cwchar>
#include <utility>

namespace tarn::platform {
namespace {

uint32_t LoadPixel(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1:
        return p[0];
    case 2:
        return (uint32_t)p[0] | (uint32_t)p[1] << 8;
    case 3:
        return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    default:
        return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    }
}

void StorePixel(uint8_t* p, int bytes, uint32_t v) {
    for (int i = 0; i < bytes; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

// Fills `total` bytes at p with copies of the pixel of `unit` bytes already stored at p: the
// pattern doubles by memcpy up to a block that stays in the nearest cache, and that block is then
// copied on. Whole rows at a time, no test per pixel; as fast as memset for any pixel size.
void RepeatPixel(uint8_t* p, size_t total, size_t unit) {
    size_t done = unit;
    while (done < total && done < 16384) {
        size_t n = done < total - done ? done : total - done;
        std::memcpy(p + done, p, n);
        done += n;
    }
    const size_t block = done; // a whole number of pixels
    while (done < total) {
        size_t n = block < total - done ? block : total - done;
        std::memcpy(p + done, p, n);
        done += n;
    }
}

// A colour fill of rectangle d: the first row is filled (by memset when every byte of the pixel
// is the same, by 32-bit words for 16- and 32-bit pixels, else by pattern), the others are copies
// of it; when the rows are whole and follow each other, the rectangle is one run of bytes.
void FillRect(uint8_t* base, long pitch, const RECT& d, int bytes, uint32_t value) {
    const size_t rowBytes = (size_t)(d.right - d.left) * bytes;
    const long rows = d.bottom - d.top;
    if (rowBytes == 0 || rows <= 0) return;
    uint8_t* first = base + d.top * pitch + (long)d.left * bytes;
    bool oneRun = (long)rowBytes == pitch;
    size_t runBytes = oneRun ? rowBytes * rows : rowBytes;
    bool sameBytes = true;
    for (int i = 1; i < bytes; ++i)
        sameBytes = sameBytes && ((value >> (8 * i)) & 0xFF) == (value & 0xFF);
    if (sameBytes) {
        std::memset(first, (int)(value & 0xFF), runBytes);
    } else if ((bytes == 2 && ((uintptr_t)first & 1) == 0) ||
               (bytes == 4 && ((uintptr_t)first & 3) == 0)) {
        // 16- and 32-bit pixels as 32-bit words from the first 4-byte boundary: a long run by
        // the processor's string store (what memset uses for long runs; copying a filled block
        // on, as below, costs a load beside every store), a short one by the C library's wide
        // fill.
        const uint32_t word = bytes == 2 ? (value & 0xFFFF) * 0x10001u : value;
        uint8_t* p = first;
        size_t left = runBytes;
        if (((uintptr_t)p & 3) != 0) { // a 16-bit pixel between two boundaries
            StorePixel(p, 2, value);
            p += 2;
            left -= 2;
        }
        size_t words = left / 4;
#if defined(__x86_64__) || defined(__i386__)
        if (words >= 512) { // long runs: the string store, as memset does them
            uint8_t* at = p;
            asm volatile("rep stosl" : "+D"(at), "+c"(words) : "a"(word) : "memory");
        }
#endif
        if (words) std::wmemset(reinterpret_cast<wchar_t*>(p), static_cast<wchar_t>(word), words);
        if (left % 4) StorePixel(p + left - 2, 2, value);
    } else {
        StorePixel(first, bytes, value);
        RepeatPixel(first, runBytes, (size_t)bytes);
    }
    if (oneRun) return;
    for (long y = 1; y < rows; ++y) std::memcpy(first + y * pitch, first, rowBytes);
}

// One row of a source-keyed copy of pixels of type T: pixels equal to `key` are skipped. Whole
// vectors of pixels at a time (their width chosen at run time), the rest one by one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi" // the vectors never cross a call
template <class T>
inline __attribute__((always_inline)) void KeyedRow(uint8_t* dst, const uint8_t* src, int count,
                                                    T key) {
    typedef T Vector __attribute__((vector_size(32)));
    const int lanes = 32 / (int)sizeof(T);
    int i = 0;
    for (; i + lanes <= count; i += lanes) {
        Vector s, d;
        std::memcpy(&s, src + i * sizeof(T), sizeof s);
        std::memcpy(&d, dst + i * sizeof(T), sizeof d);
        const Vector skip = (Vector)(s == key);
        const Vector out = (skip & d) | (~skip & s);
        std::memcpy(dst + i * sizeof(T), &out, sizeof out);
    }
    for (; i < count; ++i) {
        T v;
        std::memcpy(&v, src + i * sizeof(T), sizeof v);
        if (v != key) std::memcpy(dst + i * sizeof(T), &v, sizeof v);
    }
}
#pragma GCC diagnostic pop

TARN_CLONES_AVX2 void KeyedRowVector16(uint8_t* dst, const uint8_t* src, int count, uint16_t key) {
    KeyedRow<uint16_t>(dst, src, count, key);
}

#if TARN_BLIT_X86
// With AVX-512BW the pixels that are not the key are stored under a mask, 32 at a time, and the
// destination is never read.
__attribute__((target("avx512f,avx512bw"))) void KeyedRowMasked16(uint8_t* dst, const uint8_t* src,
                                                                  int count, uint16_t key) {
    const __m512i k = _mm512_set1_epi16((short)key);
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m512i s = _mm512_loadu_si512(src + 2 * i);
        _mm512_mask_storeu_epi16(dst + 2 * i, _mm512_cmpneq_epi16_mask(s, k), s);
    }
    if (i < count) {
        const __mmask32 tail = (__mmask32)((1ull << (count - i)) - 1);
        const __m512i s = _mm512_maskz_loadu_epi16(tail, src + 2 * i);
        _mm512_mask_storeu_epi16(dst + 2 * i, tail & _mm512_cmpneq_epi16_mask(s, k), s);
    }
}

#endif

TARN_CLONES_AVX2 void KeyedRow32(uint8_t* dst, const uint8_t* src, int count, uint32_t key) {
    KeyedRow<uint32_t>(dst, src, count, key);
}

void KeyedRowAny(uint8_t* dst, const uint8_t* src, int count, int bytes, uint32_t key) {
    for (int i = 0; i < count; ++i) {
        uint32_t v = LoadPixel(src + i * bytes, bytes);
        if (v != key) std::memcpy(dst + i * bytes, src + i * bytes, (size_t)bytes);
    }
}

// Copies the keyed rows of a blit, the row routine chosen once for all its rows.
void CopyRowsKeyed(uint8_t* out, long outStep, const uint8_t* in, long inStep, int rows, int count,
                   int bytes, uint32_t key) {
    if (bytes == 2 && key <= 0xFFFF) {
#if TARN_BLIT_X86
        auto row = cpu::HasAvx512Bw() ? KeyedRowMasked16 : KeyedRowVector16;
#else
        auto row = KeyedRowVector16;
#endif
        for (int y = 0; y < rows; ++y, out += outStep, in += inStep)
            row(out, in, count, (uint16_t)key);
    } else if (bytes == 4) {
        for (int y = 0; y < rows; ++y, out += outStep, in += inStep)
            KeyedRow32(out, in, count, key);
    } else if (bytes == 1 && key <= 0xFF) {
        for (int y = 0; y < rows; ++y, out += outStep, in += inStep)
            KeyedRow<uint8_t>(out, in, count, (uint8_t)key);
    } else {
        for (int y = 0; y < rows; ++y, out += outStep, in += inStep)
            KeyedRowAny(out, in, count, bytes, key);
    }
}

// One row of a scaled copy: destination pixel x shows source pixel x * sw / dw, stepped as a
// quotient and remainder instead of divided per pixel.
template <int Bytes>
void ScaledRow(uint8_t* out, const uint8_t* in, int dw, int sw, const DDCOLORKEY* key) {
    const int whole = sw / dw, part = sw % dw;
    int q = 0, r = 0;
    const uint32_t k = key ? key->dwColorSpaceLowValue : 0;
    for (int x = 0; x < dw; ++x, out += Bytes) {
        const uint8_t* p = in + (long)q * Bytes;
        if (!key || LoadPixel(p, Bytes) != k) std::memcpy(out, p, Bytes);
        q += whole;
        r += part;
        if (r >= dw) {
            r -= dw;
            ++q;
        }
    }
}

} // namespace

HRESULT DirectDrawSurface::BlitChecks(DirectDrawSurface* src) {
    if (lost || src->lost) return DDERR_SURFACELOST;
    if (Busy() || src->Busy()) return DDERR_SURFACEBUSY;
    if (!(format == src->format)) return DDERR_INVALIDPIXELFORMAT;
    return DD_OK;
}

// Copies src's rectangle `s` to this surface's rectangle `d`, scaling by nearest neighbour when
// the sizes differ: destination pixel x shows source pixel x * sw / dw, as Wine's DirectDraw
// samples.
static void CopyRect(uint8_t* dstBase, long dstPitch, const RECT& d, const uint8_t* srcBase,
                     long srcPitch, const RECT& s, int bytes, const DDCOLORKEY* key) {
    int dw = d.right - d.left, dh = d.bottom - d.top;
    int sw = s.right - s.left, sh = s.bottom - s.top;
    if (dw == sw && dh == sh) {
        // Whole rows of two surfaces with the same pitch: one block of bytes.
        if (!key && dstBase != srcBase && (long)dw * bytes == dstPitch && dstPitch == srcPitch) {
            std::memcpy(dstBase + (long)d.top * dstPitch, srcBase + (long)s.top * srcPitch,
                        (size_t)dstPitch * dh);
            return;
        }
        // Rows in the order that is safe when source and destination overlap; the addresses
        // are stepped, not computed per row.
        const bool upward = dstBase == srcBase && d.top > s.top;
        const int first = upward ? dh - 1 : 0;
        uint8_t* out = dstBase + (long)(d.top + first) * dstPitch + (long)d.left * bytes;
        const uint8_t* in = srcBase + (long)(s.top + first) * srcPitch + (long)s.left * bytes;
        const long outStep = upward ? -dstPitch : dstPitch, inStep = upward ? -srcPitch : srcPitch;
        if (key) {
            CopyRowsKeyed(out, outStep, in, inStep, dh, dw, bytes, key->dwColorSpaceLowValue);
            return;
        }
        for (int y = 0; y < dh; ++y, out += outStep, in += inStep)
            std::memmove(out, in, (size_t)dw * bytes);
        return;
    }
    // A row that shows the same source row as the one before is a copy of it (unless keyed, or
    // the copy stays within one surface, where that row may be a source row too).
    int previous = -1;
    for (int y = 0; y < dh; ++y) {
        int sy = s.top + (int)(((int64_t)y * sh) / dh);
        uint8_t* out = dstBase + (long)(d.top + y) * dstPitch + (long)d.left * bytes;
        if (sy == previous && !key && dstBase != srcBase) {
            std::memcpy(out, out - dstPitch, (size_t)dw * bytes);
            continue;
        }
        previous = sy;
        const uint8_t* in = srcBase + (long)sy * srcPitch + (long)s.left * bytes;
        switch (bytes) {
        case 1:
            ScaledRow<1>(out, in, dw, sw, key);
            break;
        case 2:
            ScaledRow<2>(out, in, dw, sw, key);
            break;
        case 3:
            ScaledRow<3>(out, in, dw, sw, key);
            break;
        default:
            ScaledRow<4>(out, in, dw, sw, key);
            break;
        }
    }
}

HRESULT DirectDrawSurface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 srcSurface, LPRECT srcRect,
                               DWORD flags, LPDDBLTFX fx) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::Blt">(&hr)) return hr;
    const DWORD supported =
        DDBLT_WAIT | DDBLT_DONOTWAIT | DDBLT_ASYNC | DDBLT_COLORFILL | DDBLT_KEYSRC;
    if (flags & ~supported) return DDERR_UNSUPPORTED;
    const int bytes = format.bits / 8;
    RECT d = destRect ? *destRect : RECT{0, 0, width, height};

    if (flags & DDBLT_COLORFILL) {
        if (!fx || fx->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
        if (lost) return DDERR_SURFACELOST;
        if (Busy()) return DDERR_SURFACEBUSY;
        if (!RectInside(d)) return DDERR_INVALIDRECT;
        FillRect(memory.data(), pitch, d, bytes, fx->dwFillColor);
        if (IsPrimary() && chain.size() < 2) Present();
        return DD_OK;
    }

    DirectDrawSurface* src = From(srcSurface);
    if (!src) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = BlitChecks(src); FAILED(hr)) return hr;
    if ((flags & DDBLT_KEYSRC) && !src->hasSrcKey) return DDERR_INVALIDPARAMS;
    RECT s = srcRect ? *srcRect : RECT{0, 0, src->width, src->height};
    if (!RectInside(d) || !src->RectInside(s)) return DDERR_INVALIDRECT;
    CopyRect(memory.data(), pitch, d, src->memory.data(), src->pitch, s, bytes,
             (flags & DDBLT_KEYSRC) ? &src->srcKey : nullptr);
    if (IsPrimary() && chain.size() < 2) Present();
    return DD_OK;
}

HRESULT DirectDrawSurface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 srcSurface,
                                   LPRECT srcRect, DWORD trans) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::BltFast">(&hr)) return hr;
    if (trans & ~(DWORD)(DDBLTFAST_SRCCOLORKEY | DDBLTFAST_DESTCOLORKEY | DDBLTFAST_WAIT |
                         DDBLTFAST_DONOTWAIT))
        return DDERR_INVALIDPARAMS;
    if (trans & DDBLTFAST_DESTCOLORKEY) return DDERR_UNSUPPORTED;
    DirectDrawSurface* src = From(srcSurface);
    if (!src) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = BlitChecks(src); FAILED(hr)) return hr;
    // A keyed copy from a surface without a key copies every pixel.
    const bool keyed = (trans & DDBLTFAST_SRCCOLORKEY) && src->hasSrcKey;
    RECT s = srcRect ? *srcRect : RECT{0, 0, src->width, src->height};
    if (!src->RectInside(s)) return DDERR_INVALIDRECT;
    // The position is unsigned: a negative one arrives as a huge value and lies outside.
    if (x > (DWORD)width || y > (DWORD)height) return DDERR_INVALIDRECT;
    RECT d{(LONG)x, (LONG)y, (LONG)x + (s.right - s.left), (LONG)y + (s.bottom - s.top)};
    if (!RectInside(d)) return DDERR_INVALIDRECT;
    CopyRect(memory.data(), pitch, d, src->memory.data(), src->pitch, s, format.bits / 8,
             keyed ? &src->srcKey : nullptr);
    if (IsPrimary() && chain.size() < 2) Present();
    return DD_OK;
}

// The buffers of the chain pass their memory on: the first back buffer's becomes visible, the
// old front buffer's goes to the last back buffer. The surface objects stay in their places.
HRESULT DirectDrawSurface::Flip(LPDIRECTDRAWSURFACE7 target, DWORD flags) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::Flip">(&hr)) return hr;
    if (!IsPrimary() || chain.size() < 2) return DDERR_NOTFLIPPABLE;
    for (DirectDrawSurface* s : chain)
        if (s->lost) return DDERR_SURFACELOST;
    for (DirectDrawSurface* s : chain)
        if (s->Busy()) return DDERR_SURFACEBUSY;
    DirectDrawSurface* to = nullptr;
    if (target) {
        to = From(target);
        if (!to || to == this || to->primary != this) return DDERR_INVALIDPARAMS;
    }
    if (flags & DDFLIP_WAIT) CurrentHost().WaitVerticalBlank();
    if (to) {
        std::swap(memory, to->memory);
    } else {
        for (size_t i = 0; i + 1 < chain.size(); ++i)
            std::swap(chain[i]->memory, chain[i + 1]->memory);
    }
    Present();
    return DD_OK;
}

} // namespace tarn::platform
