// An instruction set as data, for the kernel registry and for messages. Each
// architecture defines its sets, with the compiler features behind each, in
// kernels/<architecture>/.
#pragma once

#include <cstddef>

struct Mean4_isa {
    const char* name;    // as messages name it: "AVX2", "SVE", ...
    bool (*supported)(); // whether this processor and operating system can run it
    // The widest vector the set's kernels store: a row kernel's result must
    // be aligned to it unless its row says otherwise.
    size_t vector_bytes;
};

// Defines one set of an architecture's list (MEAN4_X86_SETS, ...) as
// MEAN4_<ID>, with the run-time check that the architecture's
// MEAN4_CPU_SUPPORTS(ID) makes: MEAN4_X86_SETS(MEAN4_DEFINE_ISA).
#define MEAN4_DEFINE_ISA(ID, NAME, ALIGNMENT)                                                      \
    inline bool mean4_supports_##ID()                                                              \
    {                                                                                              \
        return MEAN4_CPU_SUPPORTS(ID);                                                             \
    }                                                                                              \
    inline constexpr Mean4_isa MEAN4_##ID = {NAME, mean4_supports_##ID, ALIGNMENT};
