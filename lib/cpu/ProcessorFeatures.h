// What the processor offers beyond the baseline the build targets, asked once per process. The
// one place both the library and the stand-in learn which vector kernels they may run: it sits
// below both (the library's surface routines and the stand-in's pixel conversions and blits),
// includes neither, and answers false on processors other than x86.
#pragma once

namespace tarn::cpu {

/// The probes themselves (ProcessorFeatures.cpp); callers use the Has* functions below.
bool ProbeMmx();
bool ProbeSsse3();
bool ProbeAvx2();
bool ProbeAvx512Bw();

// Each answer is kept after its first question; the check that it is known is inlined, so a
// routine may ask once per row at the cost of one load and one branch.

/// MMX (64-bit integer vectors; every x86 processor since the Pentium MMX).
inline bool HasMmx() {
    static const bool has = ProbeMmx();
    return has;
}

/// Supplemental SSE3 (byte shuffles).
inline bool HasSsse3() {
    static const bool has = ProbeSsse3();
    return has;
}

/// AVX2 (256-bit integer vectors).
inline bool HasAvx2() {
    static const bool has = ProbeAvx2();
    return has;
}

/// AVX-512 with byte and word lanes (AVX-512F and AVX-512BW).
inline bool HasAvx512Bw() {
    static const bool has = ProbeAvx512Bw();
    return has;
}

} // namespace tarn::cpu
