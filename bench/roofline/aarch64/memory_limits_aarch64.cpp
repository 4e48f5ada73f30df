// The AArch64 widening pass, with NEON, which every AArch64 processor has:
// 16 pixels a step, stored as 16 words through the cache or with STNP, as
// the NEON kernels store theirs.
#include "memory_limits.h"
#include "pattern_walk.h"

#include "kernels/aarch64/mean4_simd_aarch64.h"

template <bool streaming> static size_t widen_neon(const uint8_t* src, uint32_t* dst, size_t pixels)
{
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16) {
        const uint8x16_t bytes = vld1q_u8(src + i);
        store_words<streaming>(dst + i, vmovl_u8(vget_low_u8(bytes)), vmovl_high_u8(bytes));
    }
    if constexpr (streaming)
        fence_streaming_stores();
    return i;
}

std::span<const Mean4_stores> limit_store_kinds()
{
    static constexpr Mean4_stores kinds[] = {Mean4_stores::cached, Mean4_stores::streaming};
    return kinds;
}

void limit_pass(const uint8_t* src, uint32_t* dst, size_t pixels, Mean4_stores stores)
{
    size_t done = stores == Mean4_stores::streaming ? widen_neon<true>(src, dst, pixels)
                                                    : widen_neon<false>(src, dst, pixels);
    for (; done < pixels; ++done)
        dst[done] = src[done];
}

// Rows from `row` on, rows_at_once of them, a step of each at the same x, as
// the two-row kernels go; the columns done.
template <bool streaming, size_t rows_at_once>
static size_t three_rows_neon(const uint8_t* row, uint32_t* out, size_t width)
{
    size_t x = 0;
    for (; x + 16 <= width; x += 16)
        for (size_t r = 0; r < rows_at_once; ++r) {
            const uint8_t* at = row + r * width + x;
            const uint8x16_t bytes =
                vorrq_u8(vorrq_u8(vld1q_u8(at - width), vld1q_u8(at)), vld1q_u8(at + width));
            store_words<streaming>(out + r * width + x, vmovl_u8(vget_low_u8(bytes)),
                                   vmovl_high_u8(bytes));
        }
    return x;
}

template <bool streaming>
static void interior(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                     size_t rows_per_pass)
{
    walk_pattern_rows(src, dst, width, height, rows_per_pass,
                      [](const uint8_t* row, uint32_t* out, size_t row_width, auto rows) {
                          return three_rows_neon<streaming, decltype(rows)::value>(row, out,
                                                                                   row_width);
                      });
    if constexpr (streaming)
        fence_streaming_stores();
}

void pattern_interior(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                      Mean4_stores stores, size_t rows_per_pass)
{
    if (stores == Mean4_stores::streaming)
        interior<true>(src, dst, width, height, rows_per_pass);
    else
        interior<false>(src, dst, width, height, rows_per_pass);
}
