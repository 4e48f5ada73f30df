// The benchmark program's own logic: the tick source and its 32-bit fallback,
// elapsed times across a counter wrap, and the word-by-word verification.
#include "platform.h"
#include "verify.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>
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
    ASSERT_NE(g_tick_count64, nullptr) << "resolve_tick_count64 did not run at start-up";
    const uint64_t before = tick_count_ms();
    timespec pause{0, 30'000'000};
    nanosleep(&pause, nullptr);
    const uint64_t elapsed = tick_count_ms() - before;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u) << "not milliseconds";
}

TEST_F(Tick_source, FallsBackToTheZeroExtended32BitTick)
{
    g_tick_count64 = nullptr;
    const uint32_t low = tick_count32();
    const uint64_t tick = tick_count_ms();
    EXPECT_LE(tick, uint64_t{UINT32_MAX}) << "the fallback must be zero-extended";
    EXPECT_LE(uint32_t(tick) - low, 1000u);
}

TEST_F(Tick_source, ReadsThePointerAfreshOnEveryCall)
{
    g_tick_count64 = [] { return (uint64_t{1} << 40) + 7; };
    EXPECT_EQ(tick_count_ms(), (uint64_t{1} << 40) + 7);
    g_tick_count64 = nullptr;
    EXPECT_LE(tick_count_ms(), uint64_t{UINT32_MAX});
}

TEST(Elapsed_time, IsRightAcrossAWrapOfThe32BitCounter)
{
    // With the fallback tick, t0 just before the wrap and t1 just after it.
    EXPECT_EQ(elapsed_ms(0xFFFFFFF6u, 0x00000004u), 14);
    EXPECT_EQ(elapsed_ms(0xFFFFFF00u, 0x00000100u), 512);
    EXPECT_EQ(elapsed_ms(1000, 3250), 2250);
    // The 64-bit tick far beyond 2^32 gives the same difference.
    EXPECT_EQ(elapsed_ms((uint64_t{5} << 32) + 0xFFFFFFF6u, (uint64_t{6} << 32) + 4), 14);

    char line[32];
    std::snprintf(line, sizeof line, "C++:  %d\n", elapsed_ms(0xFFFFFFF6u, 0x00000004u));
    EXPECT_STREQ(line, "C++:  14\n");
}

// Counts the debugger breaks the verification asks for.
int g_breaks = 0;
void count_break()
{
    ++g_breaks;
}

class Verification : public testing::Test {
  protected:
    static constexpr size_t WIDTH = 64, HEIGHT = 5;
    std::vector<uint32_t> ref_out = std::vector<uint32_t>(WIDTH * HEIGHT, 42);
    std::vector<uint32_t> vec_out = ref_out;

    Result_difference compare()
    {
        g_breaks = 0;
        return compare_results(ref_out.data(), vec_out.data(), WIDTH, HEIGHT, count_break);
    }
};

TEST_F(Verification, EqualResultsBreakNever)
{
    EXPECT_EQ(compare().differing_words, 0u);
    EXPECT_EQ(g_breaks, 0);
}

TEST_F(Verification, OneDifferingWordBreaksExactlyOnce)
{
    vec_out[2 * WIDTH + 9] = 43;
    const Result_difference difference = compare();
    EXPECT_EQ(g_breaks, 1);
    EXPECT_EQ(difference.differing_words, 1u);
    EXPECT_EQ(difference.first_x, 9u);
    EXPECT_EQ(difference.first_y, 2u);
    EXPECT_EQ(difference.reference_word, 42u);
    EXPECT_EQ(difference.variant_word, 43u);
}

TEST_F(Verification, ComparesOnAfterTheFirstDifferenceUpToTheLastWord)
{
    vec_out[0] = 0;
    vec_out[WIDTH] = 0x10000 | 42; // only the upper bits differ
    vec_out.back() = 41;
    const Result_difference difference = compare();
    EXPECT_EQ(g_breaks, 3);
    EXPECT_EQ(difference.differing_words, 3u);
    EXPECT_EQ(difference.first_x, 0u);
    EXPECT_EQ(difference.first_y, 0u);
    EXPECT_EQ(difference.variant_word, 0u);
}

TEST_F(Verification, WithoutAHookStillCountsEveryDifference)
{
    vec_out[5] = 1;
    vec_out[6] = 1;
    EXPECT_EQ(
        compare_results(ref_out.data(), vec_out.data(), WIDTH, HEIGHT, nullptr).differing_words,
        2u);
}

TEST_F(Verification, DescribesADifferenceOnOneLine)
{
    vec_out[3 * WIDTH + 17] = 200;
    vec_out[4 * WIDTH] = 0;
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    print_difference(stream, "AVX2", compare());
    std::rewind(stream);
    char text[512] = {};
    const size_t length = std::fread(text, 1, sizeof text - 1, stream);
    std::fclose(stream);
    EXPECT_EQ(std::string(text, length),
              "mean4: the AVX2 result differs from the reference in 2 words; "
              "the first at (x=17, y=3): reference 42, AVX2 200\n");
}

} // namespace
