// The limits' split over all cores and the pattern copy's first and last
// rows; the vector loops are the architecture's own (x86/, aarch64/,
// riscv64/).
#include "memory_limits.h"

#include "all_cores.h"

void limit_pass_all_cores(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                          Mean4_stores stores)
{
    for_each_band([&](unsigned band, unsigned bands) {
        const size_t first = band_start(height, band, bands) * width;
        const size_t end = band_start(height, band + 1, bands) * width;
        if (first < end)
            limit_pass(src + first, dst + first, end - first, stores);
    });
}

void pattern_pass(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                  Mean4_stores stores, size_t rows_per_pass)
{
    limit_pass(src, dst, width, stores);
    pattern_interior(src, dst, width, height, stores, rows_per_pass);
    if (height > 1)
        limit_pass(src + (height - 1) * width, dst + (height - 1) * width, width, stores);
}

void pattern_pass_all_cores(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                            Mean4_stores stores, size_t rows_per_pass)
{
    for_each_band([&](unsigned band, unsigned bands) {
        size_t first = band_start(height, band, bands);
        size_t end = band_start(height, band + 1, bands);
        if (first >= end)
            return;
        if (first == 0) {
            limit_pass(src, dst, width, stores);
            ++first;
        }
        if (end == height && end > first) {
            --end;
            limit_pass(src + end * width, dst + end * width, width, stores);
        }
        // pattern_interior computes rows 1 .. height - 2 of the image it
        // is given: start it one row above the band's first interior row.
        if (first < end)
            pattern_interior(src + (first - 1) * width, dst + (first - 1) * width, width,
                             end - first + 2, stores, rows_per_pass);
    });
}
