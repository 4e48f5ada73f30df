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

// A series of ratios, one a pair, each pair 10 ms: when does the point stop?
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
    const Stopping_rule rule; // 10 pairs, 0.05 s, 2 %, 1 s
    EXPECT_EQ(pairs_until_done(steady, rule), 10u);
    EXPECT_TRUE(settled(steady, rule.min_pairs, rule.tolerance));
    Stopping_rule longer = rule;
    longer.min_seconds = 0.2;
    EXPECT_EQ(pairs_until_done(steady, longer), 20u) << "not before its least time";
}

TEST(Stopping_rule, ADriftingSeriesRunsToItsBudgetAndIsUnstable)
{
    std::vector<double> drifting;
    for (int i = 0; i < 200; ++i)
        drifting.push_back(1.0 + 0.01 * i); // a core slowing down, pair after pair
    const Stopping_rule rule;
    EXPECT_EQ(pairs_until_done(drifting, rule), 100u) << "1 s of 10 ms pairs, not stretched";
    const std::vector<double> measured(drifting.begin(), drifting.begin() + 100);
    EXPECT_FALSE(settled(measured, rule.min_pairs, rule.tolerance));
    EXPECT_GT(relative_half_width(median_interval(measured)), 0.05) << "far beyond the 2 % asked";
}

// A stationary but noisy series: ratios spread evenly over 1 +- spread / 2,
// in an order that fills the range at every length.
std::vector<double> noisy(size_t count, double spread)
{
    std::vector<double> series;
    for (size_t i = 0; i < count; ++i) {
        const double place = std::fmod(0.618034 * double(i), 1.0);
        series.push_back(1.0 + spread * (place - 0.5));
    }
    return series;
}

TEST(Stopping_rule, ANoisyPointThatWouldSettleSoonGoesOnPastItsBudget)
{
    const Stopping_rule rule; // 1 s, stretched up to 3 s
    const std::vector<double> series = noisy(1000, 0.3);
    const std::vector<double> at_budget(series.begin(), series.begin() + 100);
    ASSERT_FALSE(settled(at_budget, rule.min_pairs, rule.tolerance)) << "unsettled at 1 s";
    const size_t pairs = pairs_until_done(series, rule);
    EXPECT_GT(pairs, 100u);
    EXPECT_LT(pairs, 300u);
    const std::vector<double> measured(series.begin(), series.begin() + long(pairs));
    EXPECT_TRUE(settled(measured, rule.min_pairs, rule.tolerance));
}

TEST(Stopping_rule, APointThatCannotSettleInItsStretchStopsAtItsBudget)
{
    // Far too noisy to settle by 3 s: not worth the time past 1 s.
    EXPECT_EQ(pairs_until_done(noisy(1000, 1.0), Stopping_rule{}), 100u);
    // Noisy, then drifting once the budget is stretched: it goes on, and
    // stops when the interval no longer promises to settle, never past 3 s.
    std::vector<double> series = noisy(1000, 0.3);
    for (size_t i = 150; i < series.size(); ++i)
        series[i] += 0.002 * double(i - 150);
    const size_t pairs = pairs_until_done(series, Stopping_rule{});
    EXPECT_GT(pairs, 100u);
    EXPECT_LE(pairs, 300u);
}

TEST(Stopping_rule, OneStallDoesNotKeepAPointFromSettling)
{
    std::vector<double> series(30, 1.0);
    series[3] = 3.0;
    EXPECT_EQ(pairs_until_done(series, Stopping_rule{}), 10u);
}

} // namespace
