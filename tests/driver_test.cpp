// The benchmark program's own logic: the tick source and its 32-bit fallback,
// elapsed times across a counter wrap, aligned allocation, and the
// word-by-word verification.
#include "mean4_compare.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

class Tick_source : public testing::Test {
  protected:
    void TearDown() override
    {
        g_tick_count64 = saved_;
    }
    const Tick_count64_fn saved_ = g_tick_count64;
};

TEST_F(Tick_source, IsResolvedBeforeMainAndCountsMilliseconds)
{
    ASSERT_NE(g_tick_count64, nullptr) << "the 64-bit tick was not looked up at start-up";
    const uint64_t before = tick_count_ms();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const uint64_t elapsed = tick_count_ms() - before;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u) << "not milliseconds";
}

TEST_F(Tick_source, FallsBackToTheZeroExtended32BitTickWhenThePointerIsNull)
{
    g_tick_count64 = [] { return (uint64_t{1} << 40) + 7; };
    EXPECT_EQ(tick_count_ms(), (uint64_t{1} << 40) + 7);
    g_tick_count64 = nullptr; // read afresh on every call
    // Both platforms' 32-bit ticks are the low half of their 64-bit ones.
    ASSERT_NE(saved_, nullptr);
    const auto low = static_cast<uint32_t>(saved_());
    const uint64_t tick = tick_count_ms();
    EXPECT_LE(tick, uint64_t{UINT32_MAX}) << "the fallback must be zero-extended";
    EXPECT_LE(uint32_t(tick) - low, 1000u);
}

TEST(Elapsed_time, IsRightAcrossAWrapOfThe32BitCounter)
{
    // With the fallback tick, t0 just before the wrap and t1 just after it.
    EXPECT_EQ(elapsed_ms(0xFFFFFFF6u, 0x00000004u), 14);
    EXPECT_EQ(elapsed_ms(1000, 3250), 2250);
    // The 64-bit tick far beyond 2^32 gives the same difference.
    EXPECT_EQ(elapsed_ms((uint64_t{5} << 32) + 0xFFFFFFF6u, (uint64_t{6} << 32) + 4), 14);
}

TEST(Aligned_allocation, TakesEveryPowerOfTwoBoundaryAResultMayAskFor)
{
    // A word is all a riscv64 result needs: the allocation must not refuse a
    // boundary below a pointer's size, which would read as "out of memory".
    // The blocks are never released, as the program's are; kept reachable.
    static void* blocks[4];
    int i = 0;
    for (const size_t alignment : {size_t{4}, size_t{8}, size_t{16}, size_t{64}}) {
        blocks[i] = allocate_aligned(100, alignment);
        ASSERT_NE(blocks[i], nullptr) << alignment << "-byte boundary";
        EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks[i++]) % alignment, 0u);
    }
}

// Counts the debugger breaks the verification asks for.
int g_breaks = 0;

TEST(Verification, BreaksOncePerDifferingWordAndComparesToTheLast)
{
    constexpr size_t WIDTH = 64, HEIGHT = 5;
    const std::vector<uint32_t> ref_out(WIDTH * HEIGHT, 42);
    std::vector<uint32_t> vec_out = ref_out;
    auto compare = [&] {
        g_breaks = 0;
        return compare_results(ref_out.data(), vec_out.data(), WIDTH, HEIGHT, [] { ++g_breaks; });
    };

    EXPECT_EQ(compare().differing_words, 0u);
    EXPECT_EQ(g_breaks, 0);

    vec_out[2 * WIDTH + 9] = 0x10000 | 42; // only the upper bits differ
    Result_difference difference = compare();
    EXPECT_EQ(g_breaks, 1);
    EXPECT_EQ(difference.differing_words, 1u);
    EXPECT_EQ(difference.first_x, 9u);
    EXPECT_EQ(difference.first_y, 2u);
    EXPECT_EQ(difference.reference_word, 42u);
    EXPECT_EQ(difference.variant_word, 0x10000u | 42);

    vec_out.back() = 41;
    EXPECT_EQ(compare().differing_words, 2u);
    EXPECT_EQ(g_breaks, 2) << "the last word was not compared";
    EXPECT_EQ(
        compare_results(ref_out.data(), vec_out.data(), WIDTH, HEIGHT, nullptr).differing_words,
        2u);

    char text[256] = {};
    format_difference(text, sizeof text, "AVX2", difference);
    EXPECT_STREQ(text, "the AVX2 result differs from the reference in 1 "
                       "word; the first at (x=9, y=2): reference 42, AVX2 65578");
}

} // namespace
