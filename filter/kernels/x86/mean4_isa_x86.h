// The x86-64 instruction sets the kernels use, each defined once: its list of
// the compiler's feature names feeds both a function's target attribute
// (MEAN4_TARGET) and the run-time check of the same features
// (MEAN4_CPU_SUPPORTS), so what a kernel is compiled for and what the program
// checks before running it cannot disagree.
//
// Everything else in the project is built for baseline x86-64; only functions
// marked with MEAN4_TARGET may use more, and only after their set's check.
#pragma once

#include "mean4_isa.h"

// Every set, in order; each includes the ones before it, so a processor that
// lacks one lacks every later one too. ID, the name messages use, and the
// alignment its row kernels' results need in bytes (the widest vector they
// store).
#define MEAN4_X86_SETS(SET)                                                                        \
    SET(BASELINE, "x86-64", 16)                                                                    \
    SET(SSE41, "SSE4.1", 16)                                                                       \
    SET(AVX2, "AVX2", 32)                                                                          \
    SET(AVX512BW, "AVX-512BW", 64)

// Each set's features as FIRST("feature") MORE("feature") ...; baseline
// x86-64 (SSE2) needs none.
#define MEAN4_BASELINE_FEATURES(FIRST, MORE)
#define MEAN4_SSE41_FEATURES(FIRST, MORE) FIRST("sse4.1")
#define MEAN4_AVX2_FEATURES(FIRST, MORE) FIRST("avx2")
// 512-bit vectors of bytes and words, and masked 256-bit loads.
#define MEAN4_AVX512BW_FEATURES(FIRST, MORE) FIRST("avx512f") MORE("avx512bw") MORE("avx512vl")

#define MEAN4_FEATURE_(feature) feature
#define MEAN4_MORE_FEATURE_(feature) "," feature
#define MEAN4_CPU_HAS_(feature) &&__builtin_cpu_supports(feature)

// Compiles one function for a set: MEAN4_TARGET(AVX2) void kernel(...).
// Tag-based indexers see the function's name with the project's .ctags.d.
#define MEAN4_TARGET(ISA)                                                                          \
    __attribute__((target(MEAN4_##ISA##_FEATURES(MEAN4_FEATURE_, MEAN4_MORE_FEATURE_))))

// Whether this processor has every feature of a set, and the operating system
// saves the registers they use: __builtin_cpu_supports tests CPUID and, for
// the AVX sets, OSXSAVE and XGETBV.
#define MEAN4_CPU_SUPPORTS(ISA)                                                                    \
    (__builtin_cpu_init(), true MEAN4_##ISA##_FEATURES(MEAN4_CPU_HAS_, MEAN4_CPU_HAS_))

// MEAN4_BASELINE, MEAN4_SSE41, MEAN4_AVX2, MEAN4_AVX512BW: each set as data.
MEAN4_X86_SETS(MEAN4_DEFINE_ISA)

// Every set, in order.
inline constexpr const Mean4_isa* MEAN4_SETS[] = {MEAN4_X86_SETS(MEAN4_ISA_ADDRESS)};
