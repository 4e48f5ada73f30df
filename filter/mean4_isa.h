// An instruction set as data, for the kernel registry and for messages. Each
// architecture defines its sets, with the compiler features behind each, in
// kernels/<architecture>/.
#pragma once

#include <cstddef>

struct Mean4_isa {
    const char* name;    // as messages name it: "AVX2", "SVE", ...
    bool (*supported)(); // whether this processor and operating system can run it
    // The boundary a result must start on for the set's row kernels, whose
    // stores are aligned: the widest vector they store on x86-64, 16 bytes
    // on AArch64 (whose SVE stores need no more), a word on riscv64 (whose
    // vector stores need no more). A row may say otherwise.
    size_t result_alignment;
};

// One set's entry in its architecture's MEAN4_SETS, the list of them all.
#define MEAN4_ISA_ADDRESS(ID, NAME, RESULT_ALIGNMENT) &MEAN4_##ID,

// Defines one set of an architecture's list (MEAN4_X86_SETS, ...) as
// MEAN4_<ID>, with the run-time check that the architecture's
// MEAN4_CPU_SUPPORTS(ID) makes: MEAN4_X86_SETS(MEAN4_DEFINE_ISA).
#define MEAN4_DEFINE_ISA(ID, NAME, RESULT_ALIGNMENT)                                               \
    inline bool mean4_supports_##ID()                                                              \
    {                                                                                              \
        return MEAN4_CPU_SUPPORTS(ID);                                                             \
    }                                                                                              \
    inline constexpr Mean4_isa MEAN4_##ID = {NAME, mean4_supports_##ID, RESULT_ALIGNMENT};
