// The AArch64 instruction sets the kernels use, each defined once: its
// compiler feature feeds both a function's target attribute (MEAN4_TARGET)
// and the run-time check of the same feature (MEAN4_CPU_SUPPORTS), so what a
// kernel is compiled for and what the program checks before running it
// cannot disagree.
//
// NEON (Advanced SIMD) is part of every AArch64 processor, and so the
// baseline everything else is built for. SVE and SVE2 are not: Linux reports
// them in the auxiliary vector (AT_HWCAP, AT_HWCAP2).
#pragma once

#include "mean4_isa.h"

#include <sys/auxv.h>

// Every set, in order; each includes the ones before it, so a processor that
// lacks one lacks every later one too. ID, the name messages use, and the
// alignment its kernels' results need in bytes: 16 for all, since SVE's
// vectors are at least 16 bytes long and its stores need no alignment.
#define MEAN4_AARCH64_SETS(SET)                                                                    \
    SET(BASELINE, "NEON", 16)                                                                      \
    SET(SVE, "SVE", 16)                                                                            \
    SET(SVE2, "SVE2", 16)

// Each set's compiler feature and the auxiliary-vector bit that reports it.
#define MEAN4_BASELINE_FEATURE ""
#define MEAN4_BASELINE_HWCAP (getauxval(AT_HWCAP) & HWCAP_ASIMD)
#define MEAN4_SVE_FEATURE "+sve"
#define MEAN4_SVE_HWCAP (getauxval(AT_HWCAP) & HWCAP_SVE)
// SVE2 brings the halving adds (URHADD) that the byte-domain kernel needs.
#define MEAN4_SVE2_FEATURE "+sve2"
#define MEAN4_SVE2_HWCAP ((getauxval(AT_HWCAP) & HWCAP_SVE) && (getauxval(AT_HWCAP2) & HWCAP2_SVE2))

// Compiles one function for a set: MEAN4_TARGET(SVE) void kernel(...).
// Tag-based indexers see the function's name with the project's .ctags.d.
#define MEAN4_TARGET(ISA) __attribute__((target(MEAN4_##ISA##_FEATURE)))

// Whether this processor has the set and the kernel (Linux) lets programs use it.
#define MEAN4_CPU_SUPPORTS(ISA) (MEAN4_##ISA##_HWCAP != 0)

// MEAN4_BASELINE, MEAN4_SVE, MEAN4_SVE2: each set as data.
MEAN4_AARCH64_SETS(MEAN4_DEFINE_ISA)

// Every set, in order.
inline constexpr const Mean4_isa* MEAN4_SETS[] = {MEAN4_AARCH64_SETS(MEAN4_ISA_ADDRESS)};
