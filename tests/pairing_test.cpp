// The paired measurement on synthetic pairs with known answers: the order
// the pairs alternate in, the limit as the fastest copy by its median, each
// round's ratios to the limit and to the pair's own model, when a repetition
// stops, and its summary. No timing: the pairs stand in for a point's.
#include "pairing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A point of side 1024 on one core, its band as wide as the image, the
// three-row copy its pattern.
const Point_shape SHAPE{1024, 1, 1024, 1};

// A compute sample whose roof, at SHAPE, is `compute_ms`.
Compute_sample costing(double compute_ms_)
{
    return {compute_ms_ * 1e6 / (1024.0 * 1022.0), 0.0};
}

// Pair i in its order: a call of `call` seconds and copies of the given
// seconds, its compute roof 1 ms, and the probes' readings.
Pair pair(size_t i, double call, std::array<double, PAIRED_COPIES> copies, double compute = 1e-3)
{
    return {pair_order(i), call, copies, costing(compute * 1e3), 3.6, 3.65, 12.8};
}

Pairing with_pairs(const std::vector<Pair>& pairs, const Stopping_rule& rule = {})
{
    Pairing pairing(SHAPE, rule);
    for (const Pair& p : pairs)
        pairing.add(p);
    return pairing;
}

TEST(Pair_order, AlternatesInAbbaBlocksAndEveryRoundHasOneOfEach)
{
    const Pair_order a = Pair_order::call_first, b = Pair_order::copies_first;
    const std::vector<Pair_order> first_eight{a, b, b, a, a, b, b, a};
    for (size_t i = 0; i < first_eight.size(); ++i)
        EXPECT_EQ(pair_order(i), first_eight[i]) << "pair " << i;
    for (size_t round = 0; round < 50; ++round)
        EXPECT_NE(pair_order(2 * round), pair_order(2 * round + 1)) << "round " << round;
}

TEST(Pair_order, EachCopyTakesEachPlaceAmongTheCopiesInTurn)
{
    for (size_t i = 0; i < 6; ++i) {
        std::array<int, PAIRED_COPIES> seen{};
        for (size_t position = 0; position < PAIRED_COPIES; ++position)
            ++seen[copy_at(i, position)];
        EXPECT_EQ(seen, (std::array<int, PAIRED_COPIES>{1, 1, 1})) << "pair " << i;
    }
    for (size_t copy = 0; copy < PAIRED_COPIES; ++copy) {
        std::array<int, PAIRED_COPIES> places{};
        for (size_t i = 0; i < PAIRED_COPIES; ++i)
            for (size_t position = 0; position < PAIRED_COPIES; ++position)
                places[position] += copy_at(i, position) == copy;
        EXPECT_EQ(places, (std::array<int, PAIRED_COPIES>{1, 1, 1})) << "copy " << copy;
    }
}

TEST(Pairing, TheLimitIsTheCopyWithTheLeastMedianNotTheLeastTime)
{
    // The widening copy once ran fast; the row-pair copy is faster in every
    // other pair.
    std::vector<Pair> pairs;
    for (size_t i = 0; i < 8; ++i)
        pairs.push_back(pair(i, 1.2, {i == 3 ? 0.5 : 1.0, 1.1, 0.9}));
    const Pairing pairing = with_pairs(pairs);
    EXPECT_EQ(pairing.fastest_copy(), 2u);
    EXPECT_STREQ(paired_copy_name(pairing.fastest_copy()), "row_pairs");
    const Repetition_summary summary = pairing.summary();
    EXPECT_EQ(summary.limit_copy, 2u);
    EXPECT_DOUBLE_EQ(summary.limit_ms, 900);
}

TEST(Pairing, EachRoundIsTheMeanOfItsTwoPairsRatiosSoNeitherOrderWeighsMore)
{
    // Call-first pairs run 10 % slow against their copies, copies-first
    // pairs 10 % fast, every round the same.
    std::vector<Pair> pairs;
    for (size_t i = 0; i < 12; ++i)
        pairs.push_back(
            pair(i, pair_order(i) == Pair_order::call_first ? 1.1 : 0.9, {1.0, 1.2, 1.3}));
    const Pairing pairing = with_pairs(pairs);
    const std::vector<double> rounds = pairing.x_limit();
    ASSERT_EQ(rounds.size(), 6u);
    for (double ratio : rounds)
        EXPECT_NEAR(ratio, 1.0, 1e-12);
    const Repetition_summary summary = pairing.summary();
    EXPECT_NEAR(summary.x_limit.median, 1.0, 1e-12);
    EXPECT_NEAR(summary.x_limit_call_first, 1.1, 1e-12) << "the order's effect is kept apart";
    EXPECT_NEAR(summary.x_limit_copies_first, 0.9, 1e-12);
    EXPECT_NEAR(relative_half_width(summary.x_limit), 0, 1e-12);
    EXPECT_TRUE(summary.settled);
    EXPECT_EQ(summary.pairs, 12u);
}

TEST(Pairing, EachPairIsModelledByItsOwnRoofs)
{
    // Odd pairs: the core slowed, the compute roof (3 ms) above the pattern
    // copy (2 ms) and the call 3.3 ms. Even pairs: memory-bound, the pattern
    // 2 ms, the call 2.2 ms. Every pair is 1.1 of its own model; against the
    // medians' model the odd ones would be 1.65.
    std::vector<Pair> pairs;
    for (size_t i = 0; i < 8; ++i) {
        const bool slowed = i % 2 == 1;
        pairs.push_back(
            pair(i, slowed ? 3.3e-3 : 2.2e-3, {1.5e-3, 2e-3, 2.5e-3}, slowed ? 3e-3 : 1e-3));
    }
    const Pairing pairing = with_pairs(pairs);
    for (double ratio : pairing.x_model())
        EXPECT_NEAR(ratio, 1.1, 1e-9);
    const Repetition_summary summary = pairing.summary();
    EXPECT_NEAR(summary.x_model.median, 1.1, 1e-9);
    EXPECT_NEAR(summary.roofs.pattern_ms, 2.0, 1e-12);
    EXPECT_EQ(summary.model.bound, Bound::memory) << "by the medians' roofs: 2 ms against 2 ms";
}

TEST(Pairing, TheSummaryGivesTheMediansOfTheCallsAndTheProbes)
{
    std::vector<Pair> pairs;
    for (size_t i = 0; i < 4; ++i) {
        Pair p = pair(i, (1.0 + double(i)) * 1e-3, {1e-3, 2e-3, 3e-3});
        p.core_ghz = 3.0 + 0.1 * double(i);
        p.core_adds_per_ns = i == 2 ? 7.0 : 12.0; // another thread on the core, once
        pairs.push_back(p);
    }
    const Repetition_summary summary = with_pairs(pairs).summary();
    EXPECT_DOUBLE_EQ(summary.call_ms.median, 2.5);
    EXPECT_DOUBLE_EQ(summary.core_ghz, 3.15);
    EXPECT_DOUBLE_EQ(summary.core_adds_per_ns, 12.0);
    EXPECT_DOUBLE_EQ(summary.core_ghz_by_multiplies, 3.65);
    EXPECT_FALSE(summary.settled) << "two rounds are too few for a 95 % interval";
}

// Pairs of a steady point, 10 ms each: when does the repetition stop?
size_t pairs_until_done(const std::vector<double>& calls, const Stopping_rule& rule)
{
    Pairing pairing(SHAPE, rule);
    for (size_t i = 0; i < calls.size(); ++i) {
        pairing.add(pair(i, calls[i], {1.0, 1.1, 1.2}));
        if (pairing.done(0.01 * double(pairing.size())))
            return pairing.size();
    }
    return calls.size() + 1;
}

TEST(Pairing, StopsOnlyAtTheEndOfARoundAndNotBeforeItsLeast)
{
    Stopping_rule rule;
    rule.min_seconds = 0;
    const std::vector<double> steady(100, 1.0);
    // Six rounds give the first 95 % interval.
    EXPECT_EQ(pairs_until_done(steady, rule), 12u);
    rule.min_rounds = 9;
    EXPECT_EQ(pairs_until_done(steady, rule), 18u);
    // Past the budget, at the end of the round it is in.
    Stopping_rule short_budget;
    short_budget.budget_seconds = 0.025;
    std::vector<double> noisy;
    for (size_t i = 0; i < 100; ++i)
        noisy.push_back(i % 3 == 0 ? 1.5 : 0.8);
    EXPECT_EQ(pairs_until_done(noisy, short_budget), 4u);
}

TEST(Pairing, ANoisyRepetitionRunsToItsBudgetAndSaysItDidNotSettle)
{
    std::vector<double> calls;
    for (size_t i = 0; i < 400; ++i)
        calls.push_back(1.0 + std::fmod(0.618034 * double(i), 1.0));
    Stopping_rule rule;
    rule.budget_seconds = 1; // 100 pairs of 10 ms
    ASSERT_EQ(pairs_until_done(calls, rule), 100u);
    Pairing pairing(SHAPE, rule);
    for (size_t i = 0; i < 100; ++i)
        pairing.add(pair(i, calls[i], {1.0, 1.1, 1.2}));
    const Repetition_summary summary = pairing.summary();
    EXPECT_FALSE(summary.settled);
    EXPECT_GT(relative_half_width(summary.x_limit), rule.tolerance);
}

} // namespace
