// The neighbour-mean filter: every result word is the floor of the mean of a
// pixel's four edge neighbours (left, right, above, below). A neighbour that
// would lie outside the image is replaced by the pixel itself, so an edge
// pixel counts itself once and a corner pixel twice.
//
// Images are row-major with no gap between rows: the source holds
// width * height bytes, the result width * height 32-bit words, each word a
// value 0..255 with its upper bits zero.
#pragma once

#include <cstddef>
#include <cstdint>

// The benchmark's image: 9984 * 9984 pixels (0x2700 per side).
constexpr int32_t IMAGE_WIDTH = 9984;
constexpr int32_t IMAGE_HEIGHT = 9984;

// Status results of mean4_reference and mean4_vector, tested in this order.
// On any non-zero status nothing has been written.
constexpr int32_t MEAN4_OK = 0;
constexpr int32_t MEAN4_NULL_SOURCE = -1;
constexpr int32_t MEAN4_NULL_RESULT = -2;
constexpr int32_t MEAN4_BAD_GEOMETRY = -3;      // see each routine for the sizes it takes
constexpr int32_t MEAN4_MISALIGNED_RESULT = -4; // mean4_vector only

// Scalar reference, one pixel at a time: any width >= 1 and height >= 1.
int32_t mean4_reference(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst);

// Vectorised filter: the narrow variant (wide == false) or the wide one. On
// x86-64 the narrow one works on 128-bit vectors (SSE4.1), the wide one on
// 256-bit vectors (AVX2); on AArch64 the narrow one is NEON and the wide one
// SVE, at whatever vector length the processor has; on riscv64 both are the
// one RVV kernel, at whatever vector length the processor has. Takes a width
// that is a positive multiple of 16 and a height >= 3; dst must be 16-byte
// aligned (on riscv64 word-aligned), and on x86-64 32-byte aligned for the
// wide variant. The caller must first make
// sure mean4_vector_supported(wide) holds.
int32_t mean4_vector(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst, bool wide);

// Whether this processor and operating system can run the variant.
bool mean4_vector_supported(bool wide);

#if defined(__x86_64__) || defined(_M_X64)
// The two row kernels behind mean4_vector on x86-64, for a caller that runs
// its own frame: each computes `rows` consecutive interior rows starting at
// src_row / dst_row, rows back to back, `width` bytes or words apart, and
// checks nothing. width is a positive multiple of 16; the rows above the
// first and below the last are readable, and so are the bytes just before
// and after the rows. mean4_rows_128 (SSE4.1, 8 pixels a step) clamps the
// edge columns itself, needs dst_row 16-byte aligned and runs only where
// mean4_vector_supported(false) holds. mean4_rows_256 (AVX2, 16 pixels a
// step) leaves both edge columns of every row for the caller to compute,
// needs dst_row 32-byte aligned and runs only where
// mean4_vector_supported(true) holds.
void mean4_rows_128(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_256(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
#endif
// On AArch64 the program's kernels, mean4_rows_neon and mean4_rows_sve, are
// declared with the architecture's others in kernels/aarch64/mean4_kernels_aarch64.h,
// and on riscv64 mean4_rows_rvv in kernels/riscv64/mean4_kernels_riscv64.h.
