// The vectorised filter's frame: the top and bottom rows in scalar code, the
// interior rows in one call of a row kernel, and, after the wide kernel, a
// pass that repairs the edge columns the kernel leaves wrong.
#include "mean4.h"
#include "mean4_scalar_row.h"

// The wide kernel takes column 0's left neighbour from the previous row and
// the last column's right neighbour from the next row. Recompute both columns
// of every interior row with the clamp rule.
static void repair_edge_columns(const uint8_t* src, size_t width, size_t height, uint32_t* dst)
{
    const size_t last = width - 1;
    for (size_t y = 1; y + 1 < height; ++y) {
        const uint8_t* row = src + y * width;
        const uint8_t* above = row - width;
        const uint8_t* below = row + width;
        uint32_t* out = dst + y * width;
        out[0] = static_cast<uint32_t>((row[0] + row[1] + above[0] + below[0]) / 4);
        out[last] =
            static_cast<uint32_t>((row[last - 1] + row[last] + above[last] + below[last]) / 4);
    }
}

int32_t mean4_vector(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst, bool wide)
{
    if (src == nullptr)
        return MEAN4_NULL_SOURCE;
    if (dst == nullptr)
        return MEAN4_NULL_RESULT;
    // A multiple of 16 suits both kernels' steps; three rows give the kernels
    // one interior row with a row above and below it.
    if (width < 16 || width % 16 != 0 || height < 3)
        return MEAN4_BAD_GEOMETRY;
    // Result rows are a multiple of 64 bytes long, so an aligned first row
    // keeps every row aligned for the kernels' aligned stores.
    const uintptr_t alignment = wide ? 32 : 16;
    if (reinterpret_cast<uintptr_t>(dst) % alignment != 0)
        return MEAN4_MISALIGNED_RESULT;

    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    const uint8_t* last_row = src + (h - 1) * w;

    mean4_scalar_row(src, src, src + w, w, dst);
    if (wide) {
        mean4_rows_256(src + w, w, dst + w, h - 2);
        repair_edge_columns(src, w, h, dst);
    } else {
        mean4_rows_128(src + w, w, dst + w, h - 2);
    }
    mean4_scalar_row(last_row - w, last_row, last_row, w, dst + (h - 1) * w);
    return MEAN4_OK;
}

bool mean4_vector_supported(bool wide)
{
    // __builtin_cpu_supports tests CPUID and, for AVX2, that the operating
    // system saves the YMM registers (OSXSAVE and XGETBV).
    __builtin_cpu_init();
    return wide ? __builtin_cpu_supports("avx2") : __builtin_cpu_supports("sse4.1");
}
