// The compiler intrinsics of the Windows toolchains the library uses: __cpuid with the MSVC
// signature (results in EAX, EBX, ECX, EDX order), built on GCC's <cpuid.h>, which already
// offers the MSVC-shaped __cpuidex.
#pragma once

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
// <cpuid.h> defines __cpuid as a five-argument macro; the Windows intrinsic takes an array.
#undef __cpuid

static inline void __cpuid(int cpuInfo[4], int function) {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    __cpuid_count((unsigned int)function, 0u, a, b, c, d);
    cpuInfo[0] = (int)a;
    cpuInfo[1] = (int)b;
    cpuInfo[2] = (int)c;
    cpuInfo[3] = (int)d;
}
#else
// No CPUID on this processor: every leaf reads as zero.
static inline void __cpuid(int cpuInfo[4], int) {
    cpuInfo[0] = cpuInfo[1] = cpuInfo[2] = cpuInfo[3] = 0;
}
static inline void __cpuidex(int cpuInfo[4], int, int) {
    cpuInfo[0] = cpuInfo[1] = cpuInfo[2] = cpuInfo[3] = 0;
}
#endif
