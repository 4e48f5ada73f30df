// Order statistics of the samples a benchmark collects: the medians and
// quartiles the explorer reports of its paired calls. Distribution-free, as
// timings on a shared machine are anything but normal: a few slow samples
// move them little.
#pragma once

#include <cstddef>
#include <vector>

// The q-quantile of the samples (0 <= q <= 1), interpolated between the
// ranks on either side as Google Benchmark's median is: the median of an
// even count is the mean of the middle two. NaN for no samples.
double quantile(std::vector<double> samples, double q);

double median(std::vector<double> samples);

// A distribution-free confidence interval of the median, from the order
// statistics: with n samples sorted, the median lies between the k-th and
// the (n + 1 - k)-th with a probability that the binomial distribution
// gives, whatever the samples' own distribution.
struct Median_interval {
    double median;
    double low;
    double high;
    double confidence; // what the interval actually covers: below the asked-for level
                       // only where too few samples allow no narrower interval
};

// The narrowest such interval that covers at least `confidence` (0.95: a
// 95 % interval); with too few samples for that (fewer than six at 95 %),
// the whole range, with the confidence it has. NaN for no samples.
Median_interval median_interval(std::vector<double> samples, double confidence = 0.95);

// The interval's half-width as a share of its median: (high - low) / 2 / median.
double relative_half_width(const Median_interval& interval);

// Whether samples have settled: at least min_samples of them and a 95 %
// interval whose relative half-width is at most `tolerance`.
bool settled(const std::vector<double>& samples, size_t min_samples, double tolerance);

// How long a point is measured: at least min_seconds and min_pairs, then
// until the 95 % interval of its median is within `tolerance` of the median
// on either side, or budget_seconds have passed. A point that has not
// settled by then goes on, up to `stretch` times its budget, while its
// interval, narrowing as one over the square root of the pairs, would reach
// the tolerance within that time: a large image's pairs are few and slow,
// and its points would otherwise stop just short of settling.
struct Stopping_rule {
    double budget_seconds = 1.0;
    double min_seconds = 0.05;
    size_t min_pairs = 10;
    double tolerance = 0.02;
    double stretch = 3.0;
};

// Whether a point whose pairs gave these ratios after elapsed_seconds is
// done: it has settled, or spent its budget and cannot settle within its
// stretch.
bool point_done(const std::vector<double>& ratios, double elapsed_seconds,
                const Stopping_rule& rule);
