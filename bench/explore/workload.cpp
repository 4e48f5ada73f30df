#include "workload.h"

#include "all_cores.h"
#include "mean4.h"
#include "memory_limits.h"

#include <cstring>
#include <random>

namespace {

size_t offset_in_page(std::mt19937_64& placement)
{
    std::uniform_int_distribution<size_t> step(0, PLACEMENT_RANGE / PLACEMENT_STEP - 1);
    return step(placement) * PLACEMENT_STEP;
}

} // namespace

Image::Image(size_t side_) : side(side_), pixels(side_ * side_), source(pixels), expected(pixels)
{
    // One generator per row, so the image does not depend on the number of
    // bands that make it.
    for_each_band([&](unsigned band, unsigned bands) {
        for (size_t y = band_start(side, band, bands); y < band_start(side, band + 1, bands); ++y) {
            std::mt19937 rng(static_cast<uint32_t>(side * 65537 + y));
            for (size_t x = 0; x < side; ++x)
                source[y * side + x] = static_cast<uint8_t>(rng() & 0x7F);
        }
    });
    const auto s = static_cast<int32_t>(side);
    mean4_reference(s, s, source.data(), expected.data());
}

Workload::Workload(const Image& image_, bool huge_pages, std::mt19937_64& placement)
    : image(image_), side(image_.side), pixels(image_.pixels),
      src_memory(pixels, offset_in_page(placement), huge_pages),
      dst_memory(pixels * sizeof(uint32_t), offset_in_page(placement), huge_pages),
      src(static_cast<uint8_t*>(src_memory.data())), dst(static_cast<uint32_t*>(dst_memory.data()))
{
    for_each_band([&](unsigned band, unsigned bands) {
        const size_t first = band_start(side, band, bands) * side;
        const size_t end = band_start(side, band + 1, bands) * side;
        std::memcpy(src + first, image.source.data() + first, end - first);
        std::memset(dst + first, 0, (end - first) * sizeof(uint32_t));
    });
}

double Workload::huge_page_share() const
{
    const size_t bytes = pixels * BYTES_PER_PIXEL;
    return double(huge_page_bytes(src, pixels) + huge_page_bytes(dst, pixels * sizeof(uint32_t))) /
           double(bytes);
}
