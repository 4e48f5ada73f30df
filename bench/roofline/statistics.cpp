#include "statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

double quantile(std::vector<double> samples, double q)
{
    if (samples.empty())
        return std::numeric_limits<double>::quiet_NaN();
    std::sort(samples.begin(), samples.end());
    const double rank = std::clamp(q, 0.0, 1.0) * double(samples.size() - 1);
    const auto below = static_cast<size_t>(rank);
    const size_t above = std::min(below + 1, samples.size() - 1);
    return samples[below] + (rank - double(below)) * (samples[above] - samples[below]);
}

double median(std::vector<double> samples)
{
    return quantile(std::move(samples), 0.5);
}

namespace {

// For n samples: the largest k whose interval [x(k), x(n + 1 - k)] (1-based)
// covers the median with at least `confidence`, and what it covers. The
// interval misses the median with probability 2 P(X <= k - 1), X binomial
// with n trials of probability 1/2; the tail is summed once, upward, each
// term from the last (C(n, k + 1) = C(n, k) (n - k) / (k + 1)), in
// logarithms so that no term underflows before it matters.
std::pair<size_t, double> median_rank(size_t n, double confidence)
{
    const double log_half_n = double(n) * std::log(0.5);
    double tail = 0;             // P(X <= k - 1)
    double log_pmf = log_half_n; // log P(X = k)
    size_t k = 0;
    while (k + 1 <= n / 2) {
        const double pmf = std::exp(log_pmf);
        if (2 * (tail + pmf) > 1 - confidence)
            break;
        tail += pmf;
        log_pmf += std::log(double(n - k) / double(k + 1));
        ++k;
    }
    if (k == 0)
        return {0, 1 - 2 * std::exp(log_half_n)};
    return {k, 1 - 2 * tail};
}

} // namespace

Median_interval median_interval(std::vector<double> samples, double confidence)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (samples.empty())
        return {nan, nan, nan, 0};
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    const double mid = median(samples);
    const auto [k, covered] = median_rank(n, confidence);
    if (k == 0) // too few samples for the level asked: the whole range
        return {mid, samples.front(), samples.back(), covered};
    return {mid, samples[k - 1], samples[n - k], covered};
}

double relative_half_width(const Median_interval& interval)
{
    return (interval.high - interval.low) / 2 / interval.median;
}

bool settled(const std::vector<double>& samples, size_t min_samples, double tolerance)
{
    if (samples.size() < min_samples)
        return false;
    const Median_interval interval = median_interval(samples);
    return interval.confidence >= 0.95 && relative_half_width(interval) <= tolerance;
}

bool point_done(const std::vector<double>& ratios, double elapsed_seconds,
                const Stopping_rule& rule)
{
    if (ratios.size() < rule.min_rounds)
        return false;
    return elapsed_seconds >= rule.budget_seconds ||
           (elapsed_seconds >= rule.min_seconds &&
            settled(ratios, rule.min_rounds, rule.tolerance));
}
