// The riscv64 benchmark program's vector kernel: RVV 1.0, word domain.
//
// Preconditions: width is a non-zero multiple of 16; rows >= 1; the
// readable margins (kernels/mean4_kernels.h); dst_row is word-aligned.
// Compiled for rv64gcv (filter/CMakeLists.txt).
//
// Vector-length agnostic, as the SVE kernels are: one binary runs with
// whatever vector length the processor has. vsetvl strip-mines each row:
// every step asks for what is left of the row and gets at most a vector's
// worth, so the last step covers only the row's remainder, at any length,
// and nothing past the rows is read or written. Lanes beyond a step's vl
// are tail-agnostic: no instruction here reads them, and the store writes
// only vl words.
//
// Like the SVE kernels, each row is treated as endless: column 0 takes the
// previous row's last pixel as its left neighbour and the last column the
// next row's first pixel as its right one, and the frame repairs both edge
// columns afterwards, which keeps every step free of edge work.
#include "kernels/mean4_kernels.h"

#include <riscv_vector.h>

// Bytes are loaded at LMUL 1, so vl is a whole vector register of pixels
// (16 at 128 bits, as a NEON or SSE step). The widening adds double the
// lanes' width and the register group with them (LMUL 2 for the 16-bit
// sums, 4 for the words), keeping SEW/LMUL and so vl the same throughout:
// one vsetvl serves the whole step. LMUL 2 for the bytes would halve the
// loop's overhead per pixel but need groups of eight registers for the
// words, four of which fill the whole register file.
MEAN4_TARGET(RVV)
void mean4_rows_rvv(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    for (; rows != 0; --rows, src_row += width, dst_row += width) {
        const uint8_t* row = src_row;
        const uint8_t* above = row - width;
        const uint8_t* below = row + width;
        size_t vl = 0;
        for (size_t x = 0; x < width; x += vl) {
            vl = __riscv_vsetvl_e8m1(width - x);
            const vuint8m1_t left = __riscv_vle8_v_u8m1(row + x - 1, vl);
            const vuint8m1_t right = __riscv_vle8_v_u8m1(row + x + 1, vl);
            const vuint8m1_t up = __riscv_vle8_v_u8m1(above + x, vl);
            const vuint8m1_t down = __riscv_vle8_v_u8m1(below + x, vl);
            // Four bytes sum to at most 1020: 16-bit lanes hold it.
            const vuint16m2_t sum =
                __riscv_vadd_vv_u16m2(__riscv_vwaddu_vv_u16m2(left, right, vl),
                                      __riscv_vwaddu_vv_u16m2(up, down, vl), vl);
            const vuint16m2_t mean = __riscv_vsrl_vx_u16m2(sum, 2, vl);
            __riscv_vse32_v_u32m4(dst_row + x, __riscv_vzext_vf2_u32m4(mean, vl), vl);
        }
    }
}
