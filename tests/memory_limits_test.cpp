// The memory limits, the denominator of every x_limit the explorer reports,
// and the three-row pass beside them: a widening pass that dropped a part of
// a vector or its tail would make every kernel look slower than memory. Under the emulated
// processors (isa.*) the same tests run the AVX2 and the baseline passes.
#include "filter_check.h"
#include "memory_limits.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using filter_check::Guarded_result;
using filter_check::Image;

const char* store_name(Mean4_stores stores)
{
    return stores == Mean4_stores::streaming ? "streaming" : "cached";
}

// A width x height image of random bytes over 0..255, its first pixel
// `misalign` bytes past a 64-byte boundary.
Image random_bytes(int32_t width, int32_t height, uint32_t seed, size_t misalign = 0)
{
    std::mt19937 rng(seed);
    return filter_check::make_image(
        width, height, [&](int, int) { return uint8_t(rng()); }, misalign);
}

std::vector<uint32_t> widened(const Image& image)
{
    const uint8_t* pixels = image.pixels();
    return std::vector<uint32_t>(pixels, pixels + image.pixel_count());
}

TEST(Memory_limits, OneCoreWidensEveryByteAndWritesNothingElse)
{
    // Sizes on both sides of each vector step (16 and 64 pixels), and a tail
    // after many full steps; the source off its alignment, as the kernels'.
    uint32_t seed = 1;
    for (const Mean4_stores stores : limit_store_kinds())
        for (const int32_t pixels : {1, 15, 16, 17, 63, 64, 65, 4097}) {
            SCOPED_TRACE(testing::Message() << store_name(stores) << ", " << pixels << " pixels");
            const Image src = random_bytes(pixels, 1, seed++, size_t(pixels) % 16);
            Guarded_result result(src.pixel_count());
            limit_pass(src.pixels(), result.image, src.pixel_count(), stores);
            EXPECT_EQ(result.difference(widened(src), pixels), "");
        }
}

TEST(Memory_limits, AllCoresWidenEveryBandAndWriteNothingElse)
{
    for (const Mean4_stores stores : limit_store_kinds())
        for (const auto& [width, height] : {std::pair{48, 9}, {16, 1}, {64, 2}, {4096, 3}}) {
            SCOPED_TRACE(testing::Message()
                         << store_name(stores) << ", " << width << " x " << height);
            const Image src = random_bytes(width, height, uint32_t(width + height));
            Guarded_result result(src.pixel_count());
            limit_pass_all_cores(src.pixels(), result.image, size_t(width), size_t(height), stores);
            EXPECT_EQ(result.difference(widened(src), width), "");
        }
}

TEST(Memory_limits, TheThreeRowPassWidensTheOrOfEachRowAndItsNeighbours)
{
    // The top and bottom rows as they are, every other row the OR of itself
    // and the rows above and below; widths around the vector steps (16, 64),
    // odd and even numbers of interior rows for the pass in pairs.
    for (const Mean4_stores stores : limit_store_kinds())
        for (const auto& [width, height] :
             {std::pair{16, 1}, {16, 2}, {48, 3}, {80, 9}, {208, 4}, {112, 6}, {4096, 3}}) {
            SCOPED_TRACE(testing::Message()
                         << store_name(stores) << ", " << width << " x " << height);
            const Image src = random_bytes(width, height, uint32_t(3 * width + height));
            std::vector<uint32_t> expected = widened(src);
            for (int y = 1; y + 1 < height; ++y)
                for (int x = 0; x < width; ++x)
                    expected[size_t(y * width + x)] =
                        uint32_t(src.at(x, y - 1) | src.at(x, y) | src.at(x, y + 1));
            // One core, then in bands: a band's edge rows read the bands
            // beside it. A row at a time, then in pairs.
            for (const bool all_cores : {false, true})
                for (const size_t rows_per_pass : {1, 2}) {
                    Guarded_result result(src.pixel_count());
                    (all_cores ? pattern_pass_all_cores
                               : pattern_pass)(src.pixels(), result.image, size_t(width),
                                               size_t(height), stores, rows_per_pass);
                    EXPECT_EQ(result.difference(expected, width), "")
                        << "all cores: " << all_cores << ", rows a pass: " << rows_per_pass;
                }
        }
}

} // namespace
