/* The filter in plain C, no intrinsics, as a kernel outside mean4: it
 * builds for every architecture mean4 builds for, and mean4_check checks it
 * on each (AArch64 and riscv64 under qemu in mean4's own tests).
 *
 *   cc -O2 -fPIC -shared -I<mean4>/include mean4_portable.c -o libportable.so
 *
 * One pixel at a time, edge columns clamped in the loop: the rows come out
 * finished. A compiler may vectorise it; it needs nothing beyond each
 * architecture's baseline, which mean4 names "x86-64", "NEON" (every
 * AArch64 has it) and "rv64gc".
 *
 * Measured on an AMD EPYC, family 25 model 17 (Zen 4), on 2026-12-10, beside
 * the built-in scalar reference in one run: x_limit 14.3 against 13.8 at side
 * 256, 2.82 against 2.95 on the full image (docs/your-kernel.md). Exact under
 * qemu on AArch64 and riscv64, where no time means anything. */
#include "mean4_kernel.h"

static void portable_rows(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    for (; rows != 0; --rows, src_row += width, dst_row += width)
        for (size_t x = 0; x < width; ++x) {
            const uint8_t* at = src_row + x;
            const unsigned left = x == 0 ? at[0] : at[-1];
            const unsigned right = x + 1 == width ? at[0] : at[1];
            dst_row[x] = (left + right + at[-(ptrdiff_t)width] + at[width]) / 4;
        }
}

#if defined(__x86_64__)
#define BASELINE "x86-64"
#elif defined(__aarch64__)
#define BASELINE "NEON"
#elif defined(__riscv)
#define BASELINE "rv64gc"
#else
#error "mean4 runs on x86-64, AArch64 and riscv64"
#endif

static const struct mean4_kernel_description kernels[] = {
    {
        .name = "scalar",
        .rows = portable_rows,
        .isa = BASELINE,
        .result_alignment = 4,
        .edges = MEAN4_EDGES_CLAMPED,
        .stores = MEAN4_STORES_CACHED,
        .flow = MEAN4_FLOW_SCALAR,
        .rows_per_pass = 1,
        .cached_twin = 0,
    },
};

static const struct mean4_kernel_set set = {MEAN4_KERNEL_ABI, sizeof kernels / sizeof kernels[0],
                                            kernels};

const struct mean4_kernel_set* mean4_kernels(void)
{
    return &set;
}
