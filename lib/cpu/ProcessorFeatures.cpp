// The processor's features, through the compiler's own probe, which also checks that the system
// saves the wide registers.
#include "cpu/ProcessorFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#define TARN_CPU_PROBE(feature) (__builtin_cpu_init(), __builtin_cpu_supports(feature) != 0)
#else
#define TARN_CPU_PROBE(feature) false
#endif

namespace tarn::cpu {

bool ProbeMmx() {
    return TARN_CPU_PROBE("mmx");
}

bool ProbeSsse3() {
    return TARN_CPU_PROBE("ssse3");
}

bool ProbeAvx2() {
    return TARN_CPU_PROBE("avx2");
}

bool ProbeAvx512Bw() {
    return TARN_CPU_PROBE("avx512f") && TARN_CPU_PROBE("avx512bw");
}

} // namespace tarn::cpu
