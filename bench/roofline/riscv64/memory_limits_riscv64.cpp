// The riscv64 limits: the vector loops (memory_limits_rvv.cpp) where the
// processor has the vector extension, scalar code where it has not. RVV 1.0
// has no non-temporal store, so there is one kind of store and one limit
// for each pattern: the cached one.
#include "memory_limits.h"

#include "kernels/mean4_kernels.h"
#include "riscv64/memory_limits_rvv.h"

std::span<const Mean4_stores> limit_store_kinds()
{
    static constexpr Mean4_stores kinds[] = {Mean4_stores::cached};
    return kinds;
}

void limit_pass(const uint8_t* src, uint32_t* dst, size_t pixels, Mean4_stores)
{
    size_t done = MEAN4_RVV.supported() ? widen_rvv(src, dst, pixels) : 0;
    for (; done < pixels; ++done)
        dst[done] = src[done];
}

// Rows y .. y + rows_at_once - 1, a step of each at the same x; in vectors
// where the processor has them.
static void three_rows_from(const uint8_t* src, uint32_t* dst, size_t width, size_t y,
                            size_t rows_at_once, bool vectors)
{
    if (vectors) {
        three_rows_rvv(src, dst, width, y, rows_at_once);
        return;
    }
    for (size_t x = 0; x < width; ++x)
        for (size_t r = 0; r < rows_at_once; ++r)
            dst[(y + r) * width + x] = three_row_word(src + (y + r) * width + x, width);
}

void pattern_interior(const uint8_t* src, uint32_t* dst, size_t width, size_t height, Mean4_stores,
                      size_t rows_per_pass)
{
    const bool vectors = MEAN4_RVV.supported();
    size_t y = 1;
    if (rows_per_pass == 2)
        for (; y + 2 < height; y += 2)
            three_rows_from(src, dst, width, y, 2, vectors);
    for (; y + 1 < height; ++y)
        three_rows_from(src, dst, width, y, 1, vectors);
}
