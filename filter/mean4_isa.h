// The instruction sets the kernels use, each defined once: the list of the
// compiler's feature names below feeds both a function's target attribute
// (MEAN4_TARGET) and the runtime check of the same features
// (MEAN4_CPU_SUPPORTS), so what a kernel is compiled for and what the program
// checks before running it cannot disagree.
//
// Everything else in the project is built for baseline x86-64; only functions
// marked with MEAN4_TARGET may use more, and only after their set's check.
#pragma once

// Each set lists its features as FIRST("feature") MORE("feature") ...
#define MEAN4_SSE41_FEATURES(FIRST, MORE) FIRST("sse4.1")
#define MEAN4_AVX2_FEATURES(FIRST, MORE) FIRST("avx2")
// 512-bit vectors of bytes and words, and masked 256-bit loads.
#define MEAN4_AVX512BW_FEATURES(FIRST, MORE) FIRST("avx512f") MORE("avx512bw") MORE("avx512vl")

#define MEAN4_FEATURE_(feature) feature
#define MEAN4_MORE_FEATURE_(feature) "," feature
#define MEAN4_CPU_HAS_(feature) &&__builtin_cpu_supports(feature)

// Compiles one function for a set: MEAN4_TARGET(AVX2) void kernel(...).
#define MEAN4_TARGET(ISA)                                                                          \
    __attribute__((target(MEAN4_##ISA##_FEATURES(MEAN4_FEATURE_, MEAN4_MORE_FEATURE_))))

// Whether this processor has every feature of a set, and the operating system
// saves the registers they use: __builtin_cpu_supports tests CPUID and, for
// the AVX sets, OSXSAVE and XGETBV.
#define MEAN4_CPU_SUPPORTS(ISA)                                                                    \
    (__builtin_cpu_init(), true MEAN4_##ISA##_FEATURES(MEAN4_CPU_HAS_, MEAN4_CPU_HAS_))

// A set as data, for the kernel registry and for messages.
struct Mean4_isa {
    const char* name;    // as messages name it: "SSE4.1", "AVX2", "AVX-512BW"
    bool (*supported)(); // MEAN4_CPU_SUPPORTS of the same set
};

extern const Mean4_isa MEAN4_BASELINE; // x86-64 itself: always supported
extern const Mean4_isa MEAN4_SSE41;
extern const Mean4_isa MEAN4_AVX2;
extern const Mean4_isa MEAN4_AVX512BW;
