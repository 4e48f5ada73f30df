// The filter written with a portable SIMD library, for the explorer to set
// beside the hand-written kernels: what the library gives for the same
// rule, with its own choice of instruction set at run time. Built only where
// the library is installed; the benchmark program never links it.
#pragma once

#include <cstddef>
#include <cstdint>

// Highway (rows_hwy.cpp): the word-domain flow, one vector of 32-bit lanes a
// step, dispatched to the best target this processor has. Row kernels with
// the frame's preconditions (width a multiple of 16, the rows above and
// below and the bytes beside the rows readable), edge columns clamped; the
// result 64-byte aligned. The streaming one fences before returning.
void mean4_rows_hwy(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);
void mean4_rows_hwy_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);

// The target Highway dispatches to on this processor ("AVX3_DL", "SVE2", ...).
const char* mean4_hwy_target();
