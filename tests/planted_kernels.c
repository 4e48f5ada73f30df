/* Kernels outside the tree with one fault planted each, for mean4_check and
 * the explorer to catch: built once per fault, with PLANTED_<fault> defined
 * (tests/CMakeLists.txt). Without any, an exact scalar kernel. */
#include "mean4_kernel.h"

#include <stddef.h>

static unsigned mean_of(unsigned left, unsigned right, unsigned up, unsigned down)
{
#if defined(PLANTED_ROUNDING)
    return (left + right + up + down + 2) / 4; /* to the nearest, not the floor */
#else
    return (left + right + up + down) / 4;
#endif
}

static void planted_rows(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
#if defined(PLANTED_CRASH)
    if (width == 80) /* one geometry of the checker's */
        *(volatile int*)0 = 0;
#endif
    for (size_t y = 0; y < rows; ++y, src_row += width, dst_row += width)
        for (size_t x = 0; x < width; ++x) {
            const uint8_t* at = src_row + x;
            uint32_t word = mean_of(x == 0 ? at[0] : at[-1], x + 1 == width ? at[0] : at[1],
                                    at[-(ptrdiff_t)width], at[width]);
#if defined(PLANTED_LAST_BLOCK)
            if (x + 16 >= width) /* the last block of sixteen */
                word ^= 1;
#endif
            dst_row[x] = word;
        }
#if defined(PLANTED_PAST_ROW)
    dst_row[0] = 0; /* the word after the last row's end */
#endif
}

#if defined(__x86_64__)
#define SET "x86-64"
#elif defined(__aarch64__)
#define SET "NEON"
#else
#define SET "rv64gc"
#endif

#if defined(PLANTED_LACKING_SET) && defined(__x86_64__)
#undef SET
#define SET "AVX-512BW" /* no AVX-512 is needed; the processor that lacks it refuses */
#elif defined(PLANTED_LACKING_SET) && defined(__aarch64__)
#undef SET
#define SET "SVE"
#elif defined(PLANTED_LACKING_SET)
#undef SET
#define SET "RVV"
#endif

static const struct mean4_kernel_description kernels[] = {
    {
        .name = "planted",
        .rows = planted_rows,
        .isa = SET,
#if defined(PLANTED_MALFORMED)
        .result_alignment = 3, /* no power of two */
#else
        .result_alignment = 4,
#endif
        .edges = MEAN4_EDGES_CLAMPED,
        .stores = MEAN4_STORES_CACHED,
        .flow = MEAN4_FLOW_SCALAR,
        .rows_per_pass = 1,
        .cached_twin = 0,
    },
};

#if defined(PLANTED_ABI)
#define ABI (MEAN4_KERNEL_ABI + 1)
#else
#define ABI MEAN4_KERNEL_ABI
#endif

static const struct mean4_kernel_set set = {ABI, sizeof kernels / sizeof kernels[0], kernels};

#if defined(PLANTED_NO_ENTRY)
const struct mean4_kernel_set* another_name(void)
#else
const struct mean4_kernel_set* mean4_kernels(void)
#endif
{
    return &set;
}
