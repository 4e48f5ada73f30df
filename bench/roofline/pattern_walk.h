// The pattern copy's walk over an image's interior rows, one row at a time
// or two, as the one-row and two-row kernels go: the same on every
// architecture, each of which gives only its vector step (its loads and
// stores), instantiated in its own file so that the step inlines into it.
#pragma once

#include "memory_limits.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Rows 1 .. height - 2 of the pattern copy (memory_limits.h), in pairs with
// rows_per_pass 2 and an odd row last. step(row, out, width, rows) widens
// the `rows` rows from `row` on (rows a std::integral_constant, 1 or 2), a
// vector step of each at the same x, as far as its vectors go, and returns
// how many columns it did; the walk finishes the rest of each row.
template <typename Step>
void walk_pattern_rows(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                       size_t rows_per_pass, Step&& step)
{
    const auto rows = [&](size_t y, auto count) {
        const uint8_t* row = src + y * width;
        uint32_t* out = dst + y * width;
        const size_t done = step(row, out, width, count);
        for (size_t r = 0; r < decltype(count)::value; ++r)
            for (size_t x = done; x < width; ++x)
                out[r * width + x] = three_row_word(row + r * width + x, width);
    };
    size_t y = 1;
    if (rows_per_pass == 2)
        for (; y + 2 < height; y += 2)
            rows(y, std::integral_constant<size_t, 2>{});
    for (; y + 1 < height; ++y)
        rows(y, std::integral_constant<size_t, 1>{});
}
