// The kernel registry: every implementation of the filter described once, as
// data. The benchmark program, the explorer, the tests and the fuzzer all
// loop over it, so a new kernel needs its code, its declaration in
// kernels/mean4_kernels.h and its row, and nothing else.
//
// A row is either a row kernel, which the vectorised frame runs over the
// interior rows (and which the explorer also runs in bands on all cores), or
// a routine that does the whole image itself, such as the reference.
#pragma once

#include "mean4_isa.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Computes `rows` consecutive interior rows; see kernels/mean4_kernels.h.
using Mean4_rows_fn = void (*)(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                               size_t rows);
// One row, given its neighbour rows (the row itself standing in for a
// missing one), edge columns clamped; reads nothing outside the three rows.
using Mean4_row_fn = void (*)(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                              size_t width, uint32_t* out);
// A whole image of any size of at least 1 x 1, with mean4_reference's checks.
using Mean4_image_fn = int32_t (*)(int32_t width, int32_t height, const uint8_t* src,
                                   uint32_t* dst);

// How a row kernel treats the two edge columns, whose outer neighbour lies
// outside the row.
enum class Mean4_edges {
    repaired_by_frame, // takes it from the adjacent row; the frame recomputes both columns after
    clamped,           // substitutes the pixel itself in registers; the rows come out finished
};

enum class Mean4_stores {
    cached,    // ordinary stores: each result line is read into the cache before it is written
    streaming, // non-temporal stores, which skip that read; the kernel fences before returning
};

// Who wrote a kernel's vector code: its author, a portable SIMD library's
// API, or a compiler's vectoriser from the scalar source; or a user of
// mean4, in a shared object loaded from outside the tree
// (include/mean4_kernel.h).
enum class Mean4_author { hand, library, compiler, user };

// The lanes a kernel computes the mean in, which decides how much work each
// pixel costs: four bytes summed in 16-bit lanes (at most 1020), or in 32-bit
// lanes, or kept in 8-bit lanes by rounding averages and corrected for their
// rounding; or the reference's scalar source, as written or vectorised by a
// compiler.
enum class Mean4_flow { reference, words, dwords, bytes };

// A row names only what sets its kernel apart; the rest has defaults.
struct Mean4_kernel {
    const char* name; // "scalar", "sse41", "avx2", "avx512_bytes_stream", ...
    // Exactly one of the two: a row kernel run inside the frame, or a routine
    // that takes the whole image.
    Mean4_rows_fn rows = nullptr;
    Mean4_image_fn whole_image = nullptr;
    // Optional, with a row kernel: the same kernel on one row with explicit
    // neighbours, for the image's top and bottom rows, which the frame
    // otherwise computes in scalar code (a cost that shows on small images).
    Mean4_row_fn edge_row = nullptr;
    const Mean4_isa& isa; // what the processor needs, the kernel's MEAN4_TARGET; no default
    // Bytes; a result off this boundary is refused. 0: the set's vector width
    // for a row kernel, a word for a whole-image routine. Set it only for a
    // kernel whose stores are narrower than its set's vectors.
    size_t result_alignment = 0;
    Mean4_edges edges = Mean4_edges::clamped;
    Mean4_stores stores = Mean4_stores::cached;
    Mean4_author written_by = Mean4_author::hand;
    Mean4_flow flow = Mean4_flow::words;
    // Result rows a row kernel computes in one pass over the row: 2 reads
    // source rows y - 1 .. y + 2 for rows y and y + 1 together. The explorer
    // copies with the same pattern to find the kernel's memory roof.
    size_t rows_per_pass = 1;
    // A streaming kernel names the cached row of the same data flow, whose
    // compute cost the explorer takes for its own: non-temporal stores drain
    // to memory even from a band that fits the cache, so its own cost cannot
    // be measured apart from memory. The unit tests check that it names one.
    const char* costed_as = nullptr;
    // Set for the benchmark program's own rows: the label its messages use
    // and its report line, and whether the program may leave the row out on
    // a processor without its set (saying so) rather than refuse to run.
    const char* report_label = nullptr;
    const char* report_format = nullptr;
    bool report_optional = false;
};

// The boundary the kernel's result must start on.
constexpr size_t mean4_result_alignment(const Mean4_kernel& kernel)
{
    if (kernel.result_alignment != 0)
        return kernel.result_alignment;
    return kernel.rows != nullptr ? kernel.isa.result_alignment : alignof(uint32_t);
}

// What every table asserts of its rows at compile time: a name, exactly one
// of `rows` and `whole_image`, `edge_row` only beside `rows`, and an
// alignment that is a power of two. (A row without its set does not compile.)
constexpr bool mean4_rows_are_well_formed(std::span<const Mean4_kernel> kernels)
{
    for (const Mean4_kernel& kernel : kernels) {
        const size_t alignment = kernel.result_alignment;
        if (kernel.name == nullptr || (kernel.rows == nullptr) == (kernel.whole_image == nullptr) ||
            (kernel.edge_row != nullptr && kernel.rows == nullptr) ||
            (alignment & (alignment - 1)) != 0)
            return false;
    }
    return true;
}

// Asserts mean4_rows_are_well_formed of a table at compile time. GCC cannot
// compare a function's address with null in a constant expression under
// -fsanitize=undefined (which implies -fno-delete-null-pointer-checks): the
// build defines MEAN4_NO_CONSTANT_NULL_CHECK for GCC's sanitizer builds only,
// and there the unit tests check the tables at run time instead.
#if defined(MEAN4_NO_CONSTANT_NULL_CHECK)
#define MEAN4_ASSERT_WELL_FORMED(table) static_assert(true)
#else
#define MEAN4_ASSERT_WELL_FORMED(table)                                                            \
    static_assert(mean4_rows_are_well_formed(table),                                               \
                  "a row of " #table " has both or neither of rows and whole_image, edge_row "     \
                  "without rows, or an alignment that is not a power of two")
#endif

// The benchmark program's variants, in the order it runs them: the reference
// ("C++"), whose result is the ground truth, then the narrow and the wide
// vectorised variant ("SSE" and "AVX2" on x86-64, "NEON" and "SVE" on
// AArch64), or on riscv64 the one vector variant ("RVV"), which runs at
// whatever vector length the processor has. In the filter library
// (tables/<architecture>/).
std::span<const Mean4_kernel> mean4_benchmark_kernels();

// The benchmark program's narrow (wide == false) or wide vectorised row, the
// one mean4_vector runs.
const Mean4_kernel& mean4_program_kernel(bool wide);

// The explorer's further kernels (tables/<architecture>/), in the library
// mean4_explorer_kernels, which the benchmark program does not link.
std::span<const Mean4_kernel> mean4_explorer_kernels();

// The rows of a portable SIMD library's version of the filter (library/),
// in the library mean4_explorer_kernels; empty where the build found no
// library. And what the library is and chose on this processor ("Highway,
// dispatched to AVX3_DL"), or "".
std::span<const Mean4_kernel> mean4_library_kernels();
const char* mean4_library_description();

// The reference as a second compiler vectorises it (autovec_clang), where
// the build has one; empty otherwise.
std::span<const Mean4_kernel> mean4_compiler_kernels();

// The rows of every table above, in that order (the benchmark program's
// first); in mean4_explorer_kernels.
std::vector<const Mean4_kernel*> mean4_every_kernel();

// Every instruction set of the architecture being built, in order, each
// including the ones before it; in mean4_explorer_kernels.
std::span<const Mean4_isa* const> mean4_instruction_sets();

// Runs a kernel on one core over a whole image: a routine directly, a row
// kernel inside the frame (mean4_frame.cpp). Returns the routines' status.
int32_t mean4_run(const Mean4_kernel& kernel, int32_t width, int32_t height, const uint8_t* src,
                  uint32_t* dst);
