// The vectorised filter's frame, open to callers that bring their own row
// kernel or split the image into bands of rows (the explorer's variants and
// their threads). Internal to the project; the benchmark's entry points are
// in mean4.h.
#pragma once

#include <cstddef>
#include <cstdint>

// Computes `rows` consecutive interior rows; see mean4.h.
using Mean4_rows_kernel = void (*)(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                   size_t rows);

struct Mean4_kernel {
    Mean4_rows_kernel rows;
    size_t result_alignment; // bytes; the kernel's stores need it
    // The kernel takes the edge columns' outer neighbours from the adjacent
    // rows; the frame recomputes those two columns after it.
    bool repairs_edges;
};

// The benchmark's two kernels.
extern const Mean4_kernel MEAN4_KERNEL_128;
extern const Mean4_kernel MEAN4_KERNEL_256;

// The explorer's kernels, which clamp the edge columns themselves. The
// streaming ones write the result with non-temporal stores, bypassing the
// caches, and fence before they return.
extern const Mean4_kernel MEAN4_KERNEL_256_STREAM; // AVX2
extern const Mean4_kernel MEAN4_KERNEL_512;        // AVX-512BW
extern const Mean4_kernel MEAN4_KERNEL_512_STREAM; // AVX-512BW

// mean4_vector's argument checks for a kernel with the given result
// alignment: MEAN4_OK or the first status that applies, in mean4.h's order.
int32_t mean4_check_vector_arguments(int32_t width, int32_t height, const uint8_t* src,
                                     const uint32_t* dst, size_t result_alignment);

// Writes result rows first_row .. end_row - 1 of a width x height image whose
// arguments passed mean4_check_vector_arguments. Rows 0 and height - 1 are
// computed in scalar code, the rest by the kernel. Bands that do not overlap
// may run at the same time.
void mean4_band(const uint8_t* src, size_t width, size_t height, uint32_t* dst, size_t first_row,
                size_t end_row, const Mean4_kernel& kernel);

// The whole image with one kernel: the checks, then one band.
int32_t mean4_vector_with(const Mean4_kernel& kernel, int32_t width, int32_t height,
                          const uint8_t* src, uint32_t* dst);

// Row kernels of the explorer, behind the descriptors above.
void mean4_rows_256_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_512(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_512_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
