// The explorer's byte-domain kernels (mean4_rows_bytes.cpp), each as a row
// kernel and as one row with explicit neighbours (Mean4_row_fn) for the
// frame's top and bottom rows. The streaming ones fence before returning.
#pragma once

#include <cstddef>
#include <cstdint>

void mean4_rows_256_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_256_bytes_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                 size_t rows);
void mean4_rows_512_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_512_bytes_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                 size_t rows);

void mean4_row_256_bytes(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                         size_t width, uint32_t* out);
void mean4_row_256_bytes_stream(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                size_t width, uint32_t* out);
void mean4_row_512_bytes(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                         size_t width, uint32_t* out);
void mean4_row_512_bytes_stream(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                size_t width, uint32_t* out);
