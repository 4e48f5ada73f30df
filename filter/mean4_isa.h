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
