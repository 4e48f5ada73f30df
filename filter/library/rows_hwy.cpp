// The filter in Highway's portable API: compiled once per target Highway
// knows (foreach_target.h re-includes this file), and dispatched at run time
// to the best one the processor has.
//
// The filter as the library's API makes it plainest to write: the row loaded
// one byte to each side for the horizontal neighbours, and each byte widened
// straight to its 32-bit result lane, where the four pixels are summed. That
// is not the hand-written word kernels' flow, which sums in 16-bit lanes
// (twice the pixels an instruction) and widens only at the store, nor their
// loop, which tests the row's edges outside it rather than in every step; the
// registry calls this flow "dwords". The edge pixel stands in for its missing
// neighbour; a row that is not a whole number of vectors (possible where
// vectors are longer than 16 lanes) ends in scalar code.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "library/rows_hwy.cpp"
#include <hwy/foreach_target.h> // must come before highway.h

#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include <cstddef>
#include <cstdint>

HWY_BEFORE_NAMESPACE();
namespace mean4_hwy {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

template <bool streaming>
void filter_rows(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    const hn::ScalableTag<uint32_t> d32;
    const hn::Rebind<uint8_t, decltype(d32)> d8; // as many bytes as words
    const size_t lanes = hn::Lanes(d32);
    const auto first_lane = hn::FirstN(d32, 1);
    const auto last_lane = hn::Eq(hn::Iota(d32, 0), hn::Set(d32, uint32_t(lanes - 1)));
    const size_t vector_end = width / lanes * lanes;

    for (; rows != 0; --rows, src_row += width, dst_row += width) {
        const uint8_t* row = src_row;
        const uint8_t* above = row - width;
        const uint8_t* below = row + width;
        for (size_t x = 0; x < vector_end; x += lanes) {
            auto left = hn::PromoteTo(d32, hn::LoadU(d8, row + x - 1));
            auto right = hn::PromoteTo(d32, hn::LoadU(d8, row + x + 1));
            if (x == 0)
                left = hn::IfThenElse(first_lane, hn::Set(d32, row[0]), left);
            if (x + lanes == width)
                right = hn::IfThenElse(last_lane, hn::Set(d32, row[width - 1]), right);
            const auto up = hn::PromoteTo(d32, hn::LoadU(d8, above + x));
            const auto down = hn::PromoteTo(d32, hn::LoadU(d8, below + x));
            const auto mean = hn::ShiftRight<2>(hn::Add(hn::Add(left, right), hn::Add(up, down)));
            if constexpr (streaming)
                hn::Stream(mean, d32, dst_row + x);
            else
                hn::Store(mean, d32, dst_row + x);
        }
        for (size_t x = vector_end; x < width; ++x) {
            const unsigned left = x != 0 ? row[x - 1] : row[x];
            const unsigned right = x + 1 < width ? row[x + 1] : row[x];
            dst_row[x] = (left + right + above[x] + below[x]) >> 2;
        }
    }
    if constexpr (streaming)
        hwy::FlushStream();
}

void rows_cached(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    filter_rows<false>(src_row, width, dst_row, rows);
}

void rows_streaming(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    filter_rows<true>(src_row, width, dst_row, rows);
}

const char* target()
{
    return hwy::TargetName(HWY_TARGET);
}

} // namespace HWY_NAMESPACE
} // namespace mean4_hwy
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "library/mean4_library_kernels.h"

namespace mean4_hwy {
HWY_EXPORT(rows_cached);
HWY_EXPORT(rows_streaming);
HWY_EXPORT(target);
} // namespace mean4_hwy

void mean4_rows_hwy(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    HWY_DYNAMIC_DISPATCH(mean4_hwy::rows_cached)(src_row, width, dst_row, rows);
}

void mean4_rows_hwy_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    HWY_DYNAMIC_DISPATCH(mean4_hwy::rows_streaming)(src_row, width, dst_row, rows);
}

const char* mean4_hwy_target()
{
    return HWY_DYNAMIC_DISPATCH(mean4_hwy::target)();
}
#endif
