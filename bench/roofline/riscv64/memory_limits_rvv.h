// The riscv64 limits' vector loops, compiled for rv64gcv in a file of their
// own; memory_limits_riscv64.cpp runs them where the processor has the
// vector extension. Each returns how many pixels or columns it did; the
// caller finishes the rest.
#pragma once

#include <cstddef>
#include <cstdint>

// src[0 .. pixels-1] widened into dst, a vector register of bytes a step.
size_t widen_rvv(const uint8_t* src, uint32_t* dst, size_t pixels);

// rows_at_once rows (1 or 2) of the pattern copy from `row` on, a step of
// each at the same x, as the two-row kernels go: each word the OR of its
// pixel and the pixels above and below. All of each row: returns width.
size_t three_rows_rvv(const uint8_t* row, uint32_t* out, size_t width, size_t rows_at_once);
