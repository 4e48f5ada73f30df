// The riscv64 limits' vector loops (see memory_limits_rvv.h): strip-mined by
// vsetvl as the kernels are, bytes at LMUL 1 widened to words at LMUL 4, so
// each step moves what a kernel's step moves.
#include "memory_limits_rvv.h"

#include <riscv_vector.h>

size_t widen_rvv(const uint8_t* src, uint32_t* dst, size_t pixels)
{
    size_t vl = 0;
    for (size_t i = 0; i < pixels; i += vl) {
        vl = __riscv_vsetvl_e8m1(pixels - i);
        __riscv_vse32_v_u32m4(dst + i,
                              __riscv_vzext_vf4_u32m4(__riscv_vle8_v_u8m1(src + i, vl), vl), vl);
    }
    return pixels;
}

size_t three_rows_rvv(const uint8_t* row, uint32_t* out, size_t width, size_t rows_at_once)
{
    size_t vl = 0;
    for (size_t x = 0; x < width; x += vl) {
        vl = __riscv_vsetvl_e8m1(width - x);
        for (size_t r = 0; r < rows_at_once; ++r) {
            const uint8_t* at = row + r * width + x;
            const vuint8m1_t bytes =
                __riscv_vor_vv_u8m1(__riscv_vor_vv_u8m1(__riscv_vle8_v_u8m1(at - width, vl),
                                                        __riscv_vle8_v_u8m1(at, vl), vl),
                                    __riscv_vle8_v_u8m1(at + width, vl), vl);
            __riscv_vse32_v_u32m4(out + r * width + x, __riscv_vzext_vf4_u32m4(bytes, vl), vl);
        }
    }
    return width;
}
