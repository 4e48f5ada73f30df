// The frame's bands, which the all-core variants run side by side, and how
// they are split over the cores.
#include "all_cores.h"
#include "explore_variants.h"
#include "mean4.h"
#include "mean4_frame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace {

TEST(Bands, AnySplitIntoTwoBandsGivesTheWholeImage)
{
    // A band that starts or ends inside the image must neither skip the
    // repair of its own edge columns nor touch a row outside it.
    constexpr size_t width = 48, height = 9;
    std::mt19937 rng(3);
    std::vector<uint8_t> src(width * height);
    for (uint8_t& pixel : src)
        pixel = uint8_t(rng());
    std::vector<uint32_t> expected(width * height);
    ASSERT_EQ(mean4_reference(width, height, src.data(), expected.data()), MEAN4_OK);

    alignas(64) uint32_t result[width * height];
    for (const Explore_variant& variant : explore_variants()) {
        const Mean4_kernel& kernel = *variant.kernel;
        if (variant.cores != Cores::one || kernel.rows == nullptr || !variant.supported())
            continue;
        for (size_t split = 0; split <= height; ++split) {
            SCOPED_TRACE(testing::Message() << kernel.name << ", split before row " << split);
            std::fill(std::begin(result), std::end(result), 0xA5A5A5A5u);
            mean4_band(src.data(), width, height, result, 0, split, kernel);
            for (size_t i = split * width; i < width * height; ++i)
                ASSERT_EQ(result[i], 0xA5A5A5A5u) << "the first band wrote row " << i / width;
            mean4_band(src.data(), width, height, result, split, height, kernel);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), result));
        }
    }
}

TEST(All_cores, EveryBandRunsOnceOnItsOwnThreadBeforeTheCallReturns)
{
    const auto most = static_cast<size_t>(omp_get_max_threads());
    for (int run = 0; run < 50; ++run) {
        std::vector<std::atomic<int>> calls(most);
        std::vector<std::thread::id> threads(most);
        std::atomic<unsigned> team{0};
        for_each_band([&](unsigned band, unsigned bands) {
            team = bands;
            if (band < most) {
                threads[band] = std::this_thread::get_id();
                calls[band].fetch_add(1);
            }
        });
        ASSERT_GE(team.load(), 1u);
        ASSERT_LE(team.load(), calls.size());
        for (unsigned band = 0; band < team; ++band) {
            ASSERT_EQ(calls[band].load(), 1) << "band " << band << " of " << team;
            for (unsigned other = 0; other < band; ++other)
                ASSERT_NE(threads[band], threads[other]) << "bands " << other << " and " << band;
        }
    }
}

TEST(All_cores, BandsCoverTheRowsWithoutGapOrOverlap)
{
    for (const size_t rows : {1, 2, 3, 7, 9984})
        for (const unsigned bands : {1u, 2u, 3u, 8u}) {
            EXPECT_EQ(band_start(rows, 0, bands), 0u);
            EXPECT_EQ(band_start(rows, bands, bands), rows);
            for (unsigned band = 0; band < bands; ++band)
                EXPECT_LE(band_start(rows, band, bands), band_start(rows, band + 1, bands));
        }
}

} // namespace
