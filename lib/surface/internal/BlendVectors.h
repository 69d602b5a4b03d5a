// The vector kernels behind BlendRect and AlphaRect (BlendRoutines.h), one entry per vector width:
// the baseline vectors every build's processor has, and AVX2 and AVX-512BW where the build can
// emit them. BlendRoutines.cpp picks one per call from the processor's features. Private to the
// surface code.
#pragma once

#include "surface/internal/BlendRoutines.h"

/// Whether this build has the AVX2 and AVX-512BW kernels. MinGW does not keep the stack 32-byte
/// aligned for spilled AVX registers, so Windows builds keep to the baseline vectors.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#define TARN_BLEND_WIDE_VECTORS 1
#else
#define TARN_BLEND_WIDE_VECTORS 0
#endif

/// One kernel: the rows of `src` onto `dst` at the depth code `depth`, weighted by the alpha
/// plane when `alpha` is not null, else by the constant `a` (0 to 256) and skipping pixels equal
/// to the key when it is on. The same bytes as the references in BlendRoutines.cpp.
typedef void (*BlendKernel)(int depth, const PixelRect& dst, const PixelRect& src,
                            const PixelRect* alpha, int a, SourceKey key);

void BlendRowsBaseline(int depth, const PixelRect& dst, const PixelRect& src,
                       const PixelRect* alpha, int a, SourceKey key);
#if TARN_BLEND_WIDE_VECTORS
void BlendRowsAvx2(int depth, const PixelRect& dst, const PixelRect& src, const PixelRect* alpha,
                   int a, SourceKey key);
void BlendRowsAvx512(int depth, const PixelRect& dst, const PixelRect& src, const PixelRect* alpha,
                     int a, SourceKey key);
#endif
