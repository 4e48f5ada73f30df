// The limits' split over all cores; the one-core pass is the architecture's
// own (x86/, aarch64/).
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
