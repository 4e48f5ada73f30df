// The kernel registry: every implementation of the filter described once, as
// data. The benchmark program, the explorer, the tests and the fuzzer all
// loop over it, so a new kernel needs one row and nothing else.
//
// A row is either a row kernel, which the vectorised frame runs over the
// interior rows (and which the explorer also runs in bands on all cores), or
// a routine that does the whole image itself, such as the reference.
#pragma once

#include "mean4_isa.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Computes `rows` consecutive interior rows; see mean4.h.
using Mean4_rows_kernel = void (*)(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                   size_t rows);
// One row, given its neighbour rows (the row itself standing in for a
// missing one), edge columns clamped; reads nothing outside the three rows.
using Mean4_row_fn = void (*)(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                              size_t width, uint32_t* out);
using Mean4_filter = int32_t (*)(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst);

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

struct Mean4_kernel {
    const char* name; // "scalar", "narrow", "wide", "512_stream", ...
    // Exactly one of the two: a row kernel run inside the frame, or a routine
    // that takes the whole image (and any size of at least 1 x 1).
    Mean4_rows_kernel rows = nullptr;
    Mean4_filter whole_image = nullptr;
    // Optional, with a row kernel: the same kernel on one row with explicit
    // neighbours, for the image's top and bottom rows, which the frame
    // otherwise computes in scalar code (a cost that shows on small images).
    Mean4_row_fn edge_row = nullptr;
    const Mean4_isa* isa;    // what the processor needs; the kernel's MEAN4_TARGET
    size_t result_alignment; // bytes; a result off this boundary is refused
    Mean4_edges edges;
    Mean4_stores stores;
    // Set for the benchmark program's own three: the label its messages use
    // and its report line.
    const char* report_label = nullptr;
    const char* report_format = nullptr;
};

// The benchmark program's variants, in the order it runs them: the reference
// ("C++"), whose result is the ground truth, then the narrow ("SSE") and the
// wide ("AVX2") vectorised variant. In the filter library.
std::span<const Mean4_kernel> mean4_benchmark_kernels();

// The explorer's further kernels, from the library mean4_explorer_kernels,
// which the benchmark program does not link.
std::span<const Mean4_kernel> mean4_explorer_kernels();

// Runs a kernel on one core over a whole image: a routine directly, a row
// kernel inside the frame. Returns the routines' status.
int32_t mean4_run(const Mean4_kernel& kernel, int32_t width, int32_t height, const uint8_t* src,
                  uint32_t* dst);
