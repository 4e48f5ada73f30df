// The AArch64 benchmark program's two kernels: NEON, 16 pixels a step, and
// SVE, at any vector length.
//
// NEON: width is a non-zero multiple of 16; rows >= 1; the readable margins
// (kernels/mean4_kernels.h); dst_row is 16-byte aligned. Rows come out
// finished, edge columns included.
#include "kernels/mean4_kernels.h"
#include "mean4_simd_aarch64.h"

#include <arm_sve.h>

void mean4_rows_neon(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_neon_words<false>(src_row, width, dst_row, rows);
}

// SVE: vector-length agnostic, so one binary runs with the vectors of
// whatever length the processor has, from 128 to 2048 bits. Each step covers
// as many pixels as a vector holds, and the predicate of the last step covers
// only what is left of the row: a length that does not divide the width
// never reads or writes past the row. Preconditions as for NEON, but stores
// need no alignment.
//
// The SVE kernels (here and in rows_bytes.cpp) treat each row as endless, as
// the x86 wide kernel does: column 0 takes the previous row's last pixel as
// its left neighbour and the last column the next row's first pixel as its
// right one, and the frame repairs both edge columns afterwards. That keeps
// every step free of edge work, which in a loop with no fixed first or last
// lane would cost a compare and a select per neighbour and step.
//
// The word domain without a single shuffle: SVE's zero-extending loads put
// each byte straight into a 32-bit lane (LD1B into .S), so the four
// neighbours are loaded as words, added, shifted and stored, a quarter of a
// vector's bytes at a time. The x86 and NEON kernels spend about a third of
// their instructions widening; here the loads do it.
MEAN4_TARGET(SVE)
void mean4_rows_sve(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    const uint64_t lanes = svcntw();
    for (; rows != 0; --rows, src_row += width, dst_row += width) {
        const uint8_t* row = src_row;
        const uint8_t* above = row - width;
        const uint8_t* below = row + width;
        for (uint64_t x = 0; x < width; x += lanes) {
            const svbool_t in_row = svwhilelt_b32_u64(x, width);
            const svuint32_t left = svld1ub_u32(in_row, row + x - 1);
            const svuint32_t right = svld1ub_u32(in_row, row + x + 1);
            const svuint32_t up = svld1ub_u32(in_row, above + x);
            const svuint32_t down = svld1ub_u32(in_row, below + x);
            const svuint32_t sum = svadd_u32_x(in_row, svadd_u32_x(in_row, left, right),
                                               svadd_u32_x(in_row, up, down));
            svst1_u32(in_row, dst_row + x, svlsr_n_u32_x(in_row, sum, 2));
        }
    }
}
