// Every AArch64 kernel, declared once; the AArch64 tables list them. See
// kernels/mean4_kernels.h.
#pragma once

#include "mean4_isa_aarch64.h"

#include <cstddef>
#include <cstdint>

// The reference compiled again with the vectoriser on (reference_autovec.cpp);
// any size of at least 1 x 1, like the reference.
int32_t mean4_reference_autovec(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst);

// NEON (rows_neon_sve.cpp, rows_words.cpp, rows_bytes.cpp): 16 pixels a step, edges clamped,
// results 16-byte aligned.
void mean4_rows_neon(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_neon_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_neon_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_neon_bytes_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                  size_t rows);
// The same two result rows a pass; any number of rows.
void mean4_rows_neon_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                 size_t rows);
void mean4_rows_neon_bytes_2rows_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                        size_t rows);

// SVE and SVE2 (rows_neon_sve.cpp, rows_bytes.cpp): a vector of any length a step, edge columns
// left to the frame.
void mean4_rows_sve(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_sve2_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_sve2_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                 size_t rows);
