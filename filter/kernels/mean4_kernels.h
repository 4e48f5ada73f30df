// Every kernel of the filter, declared once; the registry's tables list them.
//
// A row kernel computes `rows` consecutive rows starting at src_row / dst_row;
// rows lie back to back, `width` bytes (source) or words (result) apart. Its
// preconditions are listed where it is defined, and it checks nothing: the
// frame checks the arguments first. A one-row kernel (mean4_row_*) computes
// one row from explicit neighbour rows, edge columns clamped, and reads
// nothing outside the three rows; the frame uses it for the image's top and
// bottom rows. The streaming kernels fence before returning.
//
// Each is compiled for its own instruction set and may run only after that
// set's check: see the row that lists it.
#pragma once

#include <cstddef>
#include <cstdint>

// The x86-64 kernels, in x86/.
#include "x86/mean4_isa_x86.h"

// The benchmark's two (rows_128_256.cpp): 8 pixels a step at SSE4.1, clamping
// the edges, and 16 at AVX2, leaving them to the frame.
void mean4_rows_128(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_256(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);

// The reference compiled again for AVX2 with the vectoriser on
// (reference_autovec.cpp); any size of at least 1 x 1, like the reference.
int32_t mean4_reference_autovec(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst);

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
void mean4_row_avx2_bytes(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                          size_t width, uint32_t* out);
void mean4_row_avx2_bytes_stream(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                 size_t width, uint32_t* out);
void mean4_row_avx512_bytes(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                            size_t width, uint32_t* out);
void mean4_row_avx512_bytes_stream(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                   size_t width, uint32_t* out);
