// The explorer's statistics on samples with known answers: the quantiles its
// quartiles rest on, the median's distribution-free interval, and the rule
// that decides when a point has been measured enough. No timing here: the
// series stand in for a point's pairs.
#include "statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

std::vector<double> one_to(int n)
{
    std::vector<double> values;
    for (int i = n; i >= 1; --i) // in reverse: nothing may assume sorted input
        values.push_back(i);
    return values;
}

TEST(Statistics, QuantilesInterpolateBetweenRanksWhateverTheOrder)
{
    EXPECT_EQ(median({3.0, 1.0, 2.0}), 2.0);
    EXPECT_EQ(median({4.0, 1.0, 3.0, 2.0}), 2.5) << "an even count: the mean of the middle two";
    EXPECT_EQ(quantile({5.0, 1.0, 4.0, 2.0, 3.0}, 0.25), 2.0);
    EXPECT_EQ(quantile({1.0, 2.0}, 0.75), 1.75);
    EXPECT_EQ(quantile({7.0}, 0.25), 7.0);
    EXPECT_EQ(quantile({1.0, 9.0}, 2.0), 9.0) << "a q past 1 is the maximum, not past the end";
    EXPECT_TRUE(std::isnan(median({})));
}

// The ranks of the standard tables of the median's interval: 20 samples,
// the 6th and the 15th (95.9 %); 50, the 18th and the 33rd (96.7 %).
TEST(Median_interval, TakesTheOrderStatisticsTheBinomialGives)
{
    const Median_interval twenty = median_interval(one_to(20));
    EXPECT_EQ(twenty.median, 10.5);
    EXPECT_EQ(twenty.low, 6);
    EXPECT_EQ(twenty.high, 15);
    EXPECT_NEAR(twenty.confidence, 0.9586, 1e-4);
    const Median_interval fifty = median_interval(one_to(50));
    EXPECT_EQ(fifty.low, 18);
    EXPECT_EQ(fifty.high, 33);
    EXPECT_NEAR(relative_half_width(fifty), (33.0 - 18.0) / 2 / 25.5, 1e-12);
}

TEST(Median_interval, TooFewSamplesGiveTheWholeRangeAndSaySo)
{
    const Median_interval five = median_interval({5, 1, 4, 2, 3});
    EXPECT_EQ(five.low, 1);
    EXPECT_EQ(five.high, 5);
    EXPECT_NEAR(five.confidence, 0.9375, 1e-12) << "below the 95 % asked for";
    EXPECT_GE(median_interval(one_to(6)).confidence, 0.95) << "six are enough";
    EXPECT_TRUE(std::isnan(median_interval({}).median));
}

TEST(Median_interval, StaysFastAndSaneOnTheSmallestImagesSampleCounts)
{
    std::vector<double> many(200000, 1.0);
    many[0] = 100.0; // one stall among them moves nothing
    const Median_interval interval = median_interval(many);
    EXPECT_EQ(interval.low, 1.0);
    EXPECT_EQ(interval.high, 1.0);
    EXPECT_GE(interval.confidence, 0.95);
}

// A series of ratios, one a round, each round 10 ms: when does the
// repetition stop?
size_t pairs_until_done(const std::vector<double>& series, const Stopping_rule& rule)
{
    std::vector<double> so_far;
    for (double ratio : series) {
        so_far.push_back(ratio);
        if (point_done(so_far, 0.01 * double(so_far.size()), rule))
            return so_far.size();
    }
    return series.size() + 1;
}

TEST(Stopping_rule, ASteadySeriesStopsAsSoonAsTheRuleAllows)
{
    std::vector<double> steady;
    for (int i = 0; i < 100; ++i)
        steady.push_back(i % 2 == 0 ? 1.005 : 0.995);
    Stopping_rule rule; // 2 rounds, 0.01 s, 2 %, 0.25 s
    EXPECT_EQ(pairs_until_done(steady, rule), 6u) << "six give the first 95 % interval";
    EXPECT_TRUE(settled(steady, rule.min_rounds, rule.tolerance));
    rule.min_seconds = 0.2;
    EXPECT_EQ(pairs_until_done(steady, rule), 20u) << "not before its least time";
}

TEST(Stopping_rule, ADriftingSeriesRunsToItsBudgetAndIsUnstable)
{
    std::vector<double> drifting;
    for (int i = 0; i < 200; ++i)
        drifting.push_back(1.0 + 0.01 * i); // a core slowing down, round after round
    Stopping_rule rule;
    rule.budget_seconds = 1;
    EXPECT_EQ(pairs_until_done(drifting, rule), 100u) << "1 s of 10 ms rounds";
    const std::vector<double> measured(drifting.begin(), drifting.begin() + 100);
    EXPECT_FALSE(settled(measured, rule.min_rounds, rule.tolerance));
    EXPECT_GT(relative_half_width(median_interval(measured)), 0.05) << "far beyond the 2 % asked";
}

TEST(Stopping_rule, ItsLeastRoundsComeEvenPastTheBudget)
{
    Stopping_rule rule;
    rule.budget_seconds = 0.001; // less than one round
    rule.min_rounds = 3;
    EXPECT_EQ(pairs_until_done(std::vector<double>(10, 1.0), rule), 3u);
}

TEST(Stopping_rule, OneStallDoesNotKeepAPointFromSettling)
{
    std::vector<double> series(30, 1.0);
    series[3] = 3.0;
    EXPECT_EQ(pairs_until_done(series, Stopping_rule{}), 9u)
        << "nine, the first whose 95 % interval leaves out an extreme";
}

} // namespace
