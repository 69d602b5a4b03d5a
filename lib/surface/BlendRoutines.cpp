// Constant-alpha and alpha-plane copies on plain memory (see BlendRoutines.h): the entries, which
// hand the rows to the widest vector kernel the processor runs (BlendVectors.cpp), and the plain
// references, one pixel at a time through the depth's pixel-format trait, the same blend the
// pixel routines use.
#include "surface/internal/BlendRoutines.h"

#include "cpu/ProcessorFeatures.h"
#include "surface/internal/BlendVectors.h"
#include "surface/internal/PixelFormat.h"

#include <cstddef>

namespace {

inline BYTE* RowAt(const PixelRect& r, int y) {
    return r.pixels + static_cast<std::ptrdiff_t>(y) * r.pitch;
}

inline int ClampAlpha(int alpha) {
    return alpha < 0 ? 0 : alpha > 256 ? 256 : alpha;
}

// The kernel for this processor, chosen on the first call.
BlendKernel FastKernel() {
    static const BlendKernel kernel = [] {
#if TARN_BLEND_WIDE_VECTORS
        if (tarn::cpu::HasAvx512Bw()) return &BlendRowsAvx512;
        if (tarn::cpu::HasAvx2()) return &BlendRowsAvx2;
#endif
        return &BlendRowsBaseline;
    }();
    return kernel;
}

// The reference for one depth: every pixel of `src` not equal to the key, weighted by `weight(x,
// y)`; at 8 bits with an alpha plane only where the weight is at least half.
template <class F, class Weight>
void ReferenceRows(PixelRect dst, const PixelRect& src, bool plane, SourceKey key, Weight weight) {
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const int a = weight(x, y);
            if (plane && !F::mixes && a < 128) continue;
            const DWORD s = F::Load(RowAt(src, y) + x * F::bytes);
            if (key.on && s == key.value) continue;
            BYTE* d = RowAt(dst, y) + x * F::bytes;
            F::Store(d, F::Blend(F::Load(d), s, a));
        }
}

} // namespace

int BytesPerPixel(int depth) {
    int bytes = 0;
    WithPixelFormat(depth, [&](auto format) { bytes = decltype(format)::bytes; });
    return bytes;
}

void BlendRect(int depth, PixelRect dst, const PixelRect& src, int alpha, SourceKey key) {
    FastKernel()(depth, dst, src, nullptr, ClampAlpha(alpha), key);
}

void AlphaRect(int depth, PixelRect dst, const PixelRect& src, const PixelRect& alpha) {
    FastKernel()(depth, dst, src, &alpha, 0, SourceKey{false, 0});
}

void BlendRectReference(int depth, PixelRect dst, const PixelRect& src, int alpha, SourceKey key) {
    alpha = ClampAlpha(alpha);
    WithPixelFormat(depth, [&](auto format) {
        ReferenceRows<decltype(format)>(dst, src, false, key, [&](int, int) { return alpha; });
    });
}

// The plane's byte a weighs a + (a >> 7): 255 stores the source exactly, 0 leaves the destination.
void AlphaRectReference(int depth, PixelRect dst, const PixelRect& src, const PixelRect& alpha) {
    WithPixelFormat(depth, [&](auto format) {
        ReferenceRows<decltype(format)>(dst, src, true, SourceKey{false, 0}, [&](int x, int y) {
            const int a = RowAt(alpha, y)[x];
            return a + (a >> 7);
        });
    });
}
