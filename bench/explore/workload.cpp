#include "workload.h"

#include "all_cores.h"
#include "mean4.h"
#include "memory_limits.h"

#include <cstring>
#include <random>

Workload::Workload(size_t side_, bool huge_pages)
    : side(side_), pixels(side_ * side_), src_memory(allocate_workload_memory(pixels, huge_pages)),
      dst_memory(allocate_workload_memory(pixels * sizeof(uint32_t), huge_pages)),
      src(static_cast<uint8_t*>(src_memory.get())), dst(static_cast<uint32_t*>(dst_memory.get())),
      expected(pixels)
{
    // Each band's rows are first touched by the thread that filters that
    // band in the all-core variants, so that on a machine with several
    // memory nodes its pages sit on that thread's node. The pixels come
    // from one generator per row, so the image does not depend on the
    // number of bands.
    for_each_band([&](unsigned band, unsigned bands) {
        for (size_t y = band_start(side, band, bands); y < band_start(side, band + 1, bands); ++y) {
            std::mt19937 rng(static_cast<uint32_t>(side * 65537 + y));
            for (size_t x = 0; x < side; ++x)
                src[y * side + x] = static_cast<uint8_t>(rng() & 0x7F);
            std::memset(dst + y * side, 0, side * sizeof(uint32_t));
        }
    });
    const auto s = static_cast<int32_t>(side);
    mean4_reference(s, s, src, expected.data());
}

double Workload::huge_page_share() const
{
    const size_t bytes = pixels * BYTES_PER_PIXEL;
    return double(huge_page_bytes(src, pixels) + huge_page_bytes(dst, pixels * sizeof(uint32_t))) /
           double(bytes);
}
