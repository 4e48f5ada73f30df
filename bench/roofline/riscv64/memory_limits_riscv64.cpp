// The riscv64 limits: the vector loops (memory_limits_rvv.cpp) where the
// processor has the vector extension, scalar code where it has not. RVV 1.0
// has no non-temporal store, so there is one kind of store and one limit
// for each pattern: the cached one.
#include "memory_limits.h"
#include "pattern_walk.h"

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

void pattern_interior(const uint8_t* src, uint32_t* dst, size_t width, size_t height, Mean4_stores,
                      size_t rows_per_pass)
{
    // In vectors where the processor has them; the walk does every column
    // where it has not.
    const bool vectors = MEAN4_RVV.supported();
    walk_pattern_rows(src, dst, width, height, rows_per_pass,
                      [vectors](const uint8_t* row, uint32_t* out, size_t row_width, auto rows) {
                          return vectors ? three_rows_rvv(row, out, row_width, rows) : 0;
                      });
}
