// Every x86-64 kernel, declared once; the x86 tables list them. See
// kernels/mean4_kernels.h.
#pragma once

#include "mean4.h"
#include "mean4_isa_x86.h"

#include <cstddef>
#include <cstdint>

// The benchmark's two, mean4_rows_128 and mean4_rows_256 (rows_sse41_avx2.cpp),
// are public: mean4.h declares them.

// The reference compiled again for AVX2 with the vectoriser on
// (reference_autovec.cpp); any size of at least 1 x 1, like the reference.
int32_t mean4_reference_autovec(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst);
// The same compiled by clang, in builds whose compiler is another
// (filter/CMakeLists.txt builds it; tables/mean4_compiler_kernels.cpp lists it).
int32_t mean4_reference_autovec_clang(int32_t width, int32_t height, const uint8_t* src,
                                      uint32_t* dst);

// Word-domain kernels that clamp the edges in registers (rows_words.cpp).
void mean4_rows_avx2_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_avx512(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_avx512_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);

// Byte-domain kernels (rows_bytes.cpp).
void mean4_rows_avx2_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_avx2_bytes_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                  size_t rows);
void mean4_rows_avx512_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_avx512_bytes_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                    size_t rows);
// The same two result rows a pass (see rows_bytes.cpp); any number of rows.
void mean4_rows_avx2_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                 size_t rows);
void mean4_rows_avx2_bytes_2rows_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                        size_t rows);
void mean4_rows_avx512_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                   size_t rows);
void mean4_rows_avx512_bytes_2rows_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                          size_t rows);
void mean4_row_avx2_bytes(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                          size_t width, uint32_t* out);
void mean4_row_avx2_bytes_stream(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                 size_t width, uint32_t* out);
void mean4_row_avx512_bytes(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                            size_t width, uint32_t* out);
void mean4_row_avx512_bytes_stream(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                   size_t width, uint32_t* out);
