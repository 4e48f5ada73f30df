// Every riscv64 kernel, declared once; the riscv64 tables list them. See
// kernels/mean4_kernels.h.
#pragma once

#include "mean4_isa_riscv64.h"

#include <cstddef>
#include <cstdint>

// The reference compiled again with the vectoriser on, for rv64gcv
// (reference_autovec.cpp); any size of at least 1 x 1, like the reference.
int32_t mean4_reference_autovec(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst);

// RVV 1.0 (rows_rvv.cpp, rows_bytes.cpp): as many pixels a step as the
// vector length holds, strip-mined by vsetvl; edge columns left to the frame;
// results word-aligned. There are no streaming variants: the vector
// extension has no non-temporal store.
void mean4_rows_rvv(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_rvv_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
// Two result rows a pass; any number of rows.
void mean4_rows_rvv_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                size_t rows);
