#include "mean4_frame.h"

#include "mean4.h"
#include "mean4_scalar_row.h"

void mean4_repair_edge_columns(const uint8_t* src, size_t width, size_t first, size_t end,
                               uint32_t* dst)
{
    const size_t last = width - 1;
    for (size_t y = first; y < end; ++y) {
        const uint8_t* row = src + y * width;
        const uint8_t* above = row - width;
        const uint8_t* below = row + width;
        uint32_t* out = dst + y * width;
        out[0] = static_cast<uint32_t>((row[0] + row[1] + above[0] + below[0]) / 4);
        out[last] =
            static_cast<uint32_t>((row[last - 1] + row[last] + above[last] + below[last]) / 4);
    }
}

int32_t mean4_check_vector_arguments(int32_t width, int32_t height, const uint8_t* src,
                                     const uint32_t* dst, size_t result_alignment)
{
    if (src == nullptr)
        return MEAN4_NULL_SOURCE;
    if (dst == nullptr)
        return MEAN4_NULL_RESULT;
    // A multiple of 16 suits every kernel's step; three rows give the kernels
    // one interior row with a row above and below it.
    if (width < 16 || width % 16 != 0 || height < 3)
        return MEAN4_BAD_GEOMETRY;
    // Result rows are a multiple of 64 bytes long, so an aligned first row
    // keeps every row aligned for the kernels' aligned stores.
    if (reinterpret_cast<uintptr_t>(dst) % result_alignment != 0)
        return MEAN4_MISALIGNED_RESULT;
    return MEAN4_OK;
}

void mean4_band(const uint8_t* src, size_t width, size_t height, uint32_t* dst, size_t first_row,
                size_t end_row, const Mean4_kernel& kernel)
{
    if (first_row >= end_row)
        return;
    const Mean4_row_fn edge_row = kernel.edge_row != nullptr ? kernel.edge_row : mean4_scalar_row;
    if (first_row == 0) {
        edge_row(src, src, src + width, width, dst);
        ++first_row;
    }
    const bool has_bottom_row = end_row == height;
    const size_t interior_end = has_bottom_row ? height - 1 : end_row;
    if (first_row < interior_end) {
        kernel.rows(src + first_row * width, width, dst + first_row * width,
                    interior_end - first_row);
        if (kernel.edges == Mean4_edges::repaired_by_frame)
            mean4_repair_edge_columns(src, width, first_row, interior_end, dst);
    }
    if (has_bottom_row) {
        const uint8_t* last_row = src + (height - 1) * width;
        edge_row(last_row - width, last_row, last_row, width, dst + (height - 1) * width);
    }
}

int32_t mean4_vector_with(const Mean4_kernel& kernel, int32_t width, int32_t height,
                          const uint8_t* src, uint32_t* dst)
{
    const int32_t status =
        mean4_check_vector_arguments(width, height, src, dst, mean4_result_alignment(kernel));
    if (status == MEAN4_OK) {
        const auto h = static_cast<size_t>(height);
        mean4_band(src, static_cast<size_t>(width), h, dst, 0, h, kernel);
    }
    return status;
}

int32_t mean4_run(const Mean4_kernel& kernel, int32_t width, int32_t height, const uint8_t* src,
                  uint32_t* dst)
{
    if (kernel.whole_image != nullptr)
        return kernel.whole_image(width, height, src, dst);
    return mean4_vector_with(kernel, width, height, src, dst);
}
