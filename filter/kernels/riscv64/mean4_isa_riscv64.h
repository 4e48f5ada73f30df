// The riscv64 instruction sets the kernels use, each defined once: the
// -march string a kernel file is compiled with (which the top-level
// CMakeLists.txt reads from this file) and the run-time check of the same
// extension, so what a kernel is compiled for and what the program checks
// before running it cannot disagree.
//
// rv64gc, the base integer ISA with multiply, atomics, floating point and
// compressed instructions, is what every riscv64 Linux system runs, and so
// the baseline. The vector extension (V, RVV 1.0) is not: Linux reports it
// in the auxiliary vector, as the bit of its letter in AT_HWCAP.
//
// The vector kernels are compiled a file at a time for rv64gcv rather than a
// function at a time: clang's target attribute for V does not yet cover
// every intrinsic. Those files define only the kernels and internal
// helpers, and include no library header with inline code, so the linker
// can never pick a vector-compiled copy of a shared function for baseline
// code.
#pragma once

#include "mean4_isa.h"

#include <sys/auxv.h>

// Every set, in order; each includes the one before. ID, the name messages
// use, and the alignment its kernels' results need in bytes: a word, since
// RVV's unit-stride stores need only their elements aligned.
#define MEAN4_RISCV64_SETS(SET)                                                                    \
    SET(BASELINE, "rv64gc", 4)                                                                     \
    SET(RVV, "RVV", 4)

// Each set's -march string and the auxiliary-vector bit that reports it.
#define MEAN4_BASELINE_MARCH "rv64gc"
#define MEAN4_BASELINE_HWCAP 1
#define MEAN4_RVV_MARCH "rv64gcv"
#define MEAN4_RVV_HWCAP (getauxval(AT_HWCAP) & (1UL << ('V' - 'A')))

// Whether the file being compiled is compiled for each set.
#define MEAN4_BASELINE_COMPILED 1
#if defined(__riscv_vector)
#define MEAN4_RVV_COMPILED 1
#else
#define MEAN4_RVV_COMPILED 0
#endif

// Marks a kernel compiled for a set: MEAN4_TARGET(RVV) void kernel(...). The
// whole file is compiled for the set (see above); this only refuses to
// compile a kernel in a file that is not.
#define MEAN4_TARGET(ISA)                                                                          \
    static_assert(MEAN4_##ISA##_COMPILED, "compile this file with -march=" MEAN4_##ISA##_MARCH     \
                  " (filter/CMakeLists.txt)");

// Whether this processor has the set and the kernel (Linux) lets programs use it.
#define MEAN4_CPU_SUPPORTS(ISA) (MEAN4_##ISA##_HWCAP != 0)

// MEAN4_BASELINE, MEAN4_RVV: each set as data.
MEAN4_RISCV64_SETS(MEAN4_DEFINE_ISA)

// Every set, in order.
inline constexpr const Mean4_isa* MEAN4_SETS[] = {MEAN4_RISCV64_SETS(MEAN4_ISA_ADDRESS)};
