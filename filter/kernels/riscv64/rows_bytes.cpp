// The RVV 1.0 byte-domain kernels, for the explorer: the mean in 8-bit
// lanes, widened to words only at the store. Preconditions and edge
// handling as for mean4_rows_rvv (rows_rvv.cpp). Compiled for rv64gcv
// (filter/CMakeLists.txt).
#include "kernels/mean4_kernels.h"

#include <riscv_vector.h>

namespace {

// The byte domain, as in the x86 and AArch64 byte kernels: with
// u = avg(a, b) and v = avg(c, d), each rounded up, the floor of the mean is
// avg(u, v) less one where u + v or either pair's sum is odd. RVV's
// averaging add (vaaddu) rounds as its rounding-mode argument says:
// round-to-nearest-up is the rounded-up average. LMUL as in rows_rvv.cpp:
// bytes at 1, words at 4.
inline __attribute__((always_inline)) void step_rvv_bytes(const uint8_t* row, size_t x,
                                                          size_t width, size_t vl, uint32_t* out)
{
    const vuint8m1_t left = __riscv_vle8_v_u8m1(row + x - 1, vl);
    const vuint8m1_t right = __riscv_vle8_v_u8m1(row + x + 1, vl);
    const vuint8m1_t up = __riscv_vle8_v_u8m1(row - width + x, vl);
    const vuint8m1_t down = __riscv_vle8_v_u8m1(row + width + x, vl);
    const vuint8m1_t u = __riscv_vaaddu_vv_u8m1(left, right, __RISCV_VXRM_RNU, vl);
    const vuint8m1_t v = __riscv_vaaddu_vv_u8m1(up, down, __RISCV_VXRM_RNU, vl);
    const vuint8m1_t odd =
        __riscv_vor_vv_u8m1(__riscv_vor_vv_u8m1(__riscv_vxor_vv_u8m1(u, v, vl),
                                                __riscv_vxor_vv_u8m1(left, right, vl), vl),
                            __riscv_vxor_vv_u8m1(up, down, vl), vl);
    const vuint8m1_t means = __riscv_vsub_vv_u8m1(
        __riscv_vaaddu_vv_u8m1(u, v, __RISCV_VXRM_RNU, vl), __riscv_vand_vx_u8m1(odd, 1, vl), vl);
    __riscv_vse32_v_u32m4(out + x, __riscv_vzext_vf4_u32m4(means, vl), vl);
}

// `rows_at_once` result rows a pass, a step of each at the same x (see the
// x86 byte kernels); the last of an odd number of rows on its own.
template <size_t rows_at_once>
void rows_rvv_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    size_t vl = 0;
    for (; rows >= rows_at_once;
         rows -= rows_at_once, src_row += rows_at_once * width, dst_row += rows_at_once * width)
        for (size_t x = 0; x < width; x += vl) {
            vl = __riscv_vsetvl_e8m1(width - x);
            for (size_t r = 0; r < rows_at_once; ++r)
                step_rvv_bytes(src_row + r * width, x, width, vl, dst_row + r * width);
        }
    if (rows != 0)
        for (size_t x = 0; x < width; x += vl) {
            vl = __riscv_vsetvl_e8m1(width - x);
            step_rvv_bytes(src_row, x, width, vl, dst_row);
        }
}

} // namespace

MEAN4_TARGET(RVV)
void mean4_rows_rvv_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_rvv_bytes<1>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(RVV)
void mean4_rows_rvv_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                size_t rows)
{
    rows_rvv_bytes<2>(src_row, width, dst_row, rows);
}
