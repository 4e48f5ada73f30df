// The frame's bands, which the all-core variants run side by side, how they
// are split over the cores, and the row kernels on any number of rows.
#include "all_cores.h"
#include "filter_check.h"
#include "mean4.h"
#include "mean4_frame.h"
#include "variants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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

TEST(Row_kernels, WriteExactlyTheRowsTheyAreGivenForOddAndEvenCounts)
{
    // A kernel that computes two rows a pass must finish an odd count with
    // one row, neither skipping the last nor writing (and reading) the one
    // after it. The source is sized exactly: a read past the row below the
    // last is outside it, where AddressSanitizer sees it. The widths end in
    // every partial step of the 32- and 64-pixel kernels.
    for (const Explore_variant& variant : explore_variants()) {
        const Mean4_kernel& kernel = *variant.kernel;
        if (variant.cores != Cores::one || kernel.rows == nullptr || !variant.supported())
            continue;
        for (const int32_t width : {16, 32, 48, 64, 80, 112, 208}) {
            for (int32_t rows = 1; rows <= 5; ++rows) {
                SCOPED_TRACE(testing::Message()
                             << kernel.name << ", width " << width << ", " << rows << " rows");
                filter_check::Image image(width, rows + 2);
                std::mt19937 rng(uint32_t(width * 8 + rows));
                for (size_t i = 0; i < image.pixel_count(); ++i)
                    image.pixels()[i] = uint8_t(rng());
                std::vector<uint32_t> expected(image.pixel_count());
                ASSERT_EQ(mean4_reference(width, rows + 2, image.pixels(), expected.data()),
                          MEAN4_OK);
                // Only the interior rows: the guards stand where the image's
                // top and bottom rows would be.
                expected.erase(expected.begin(), expected.begin() + width);
                expected.resize(size_t(rows) * size_t(width));

                filter_check::Guarded_result result(expected.size());
                const auto w = size_t(width);
                kernel.rows(image.pixels() + w, w, result.image, size_t(rows));
                if (kernel.edges == Mean4_edges::repaired_by_frame)
                    mean4_repair_edge_columns(image.pixels(), w, 1, size_t(rows) + 1,
                                              result.image - w);
                EXPECT_EQ(result.difference(expected, width), "");
            }
        }
    }
}

TEST(All_cores, BandBIsWorkedByTheSameThreadInEveryCall)
{
    // What first touch relies on: the thread that touched band b's pages
    // when the workload was made is the one that computes band b in every
    // later call. Each call runs every band once, on a thread of its own.
    const auto most = static_cast<size_t>(omp_get_max_threads());
    auto threads_of_one_call = [&] {
        std::vector<std::thread::id> threads(most);
        std::vector<std::atomic<int>> calls(most);
        std::atomic<unsigned> team{0};
        for_each_band([&](unsigned band, unsigned bands) {
            team = bands;
            if (band < most) {
                threads[band] = std::this_thread::get_id();
                calls[band].fetch_add(1);
            }
        });
        EXPECT_GE(team.load(), 1u);
        EXPECT_LE(team.load(), most);
        threads.resize(std::min<size_t>(team.load(), most));
        for (size_t band = 0; band < threads.size(); ++band)
            EXPECT_EQ(calls[band].load(), 1) << "band " << band;
        return threads;
    };
    const std::vector<std::thread::id> first = threads_of_one_call();
    for (size_t band = 1; band < first.size(); ++band)
        for (size_t other = 0; other < band; ++other)
            ASSERT_NE(first[band], first[other]) << "bands " << other << " and " << band;
    for (int call = 0; call < 50; ++call) {
        // Work between the calls, as the explorer does between timed calls.
        std::this_thread::sleep_for(std::chrono::microseconds(call % 5 * 200));
        ASSERT_EQ(threads_of_one_call(), first) << "call " << call + 1;
    }
}

} // namespace
