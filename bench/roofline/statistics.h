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

// How long one repetition of a point is measured: at least min_seconds and
// min_rounds (a round is two pairs, one in each order: pairing.h), then until
// the 95 % interval of its rounds' median is within `tolerance` of the median
// on either side, or budget_seconds have passed. The interval assumes the
// rounds independent, which rounds seconds apart on one placement of the
// workload are not quite: it decides when to stop, and how sure a point is
// comes from its repetitions, which are replicates. Between repetitions a
// point's figure varies more than within one, so a short budget and many
// repetitions measure it best in a given time.
struct Stopping_rule {
    double budget_seconds = 0.25;
    double min_seconds = 0.01;
    size_t min_rounds = 2;
    double tolerance = 0.02;
};

// Whether a repetition whose rounds gave these ratios after elapsed_seconds
// is done: it has settled, or spent its budget.
bool point_done(const std::vector<double>& ratios, double elapsed_seconds,
                const Stopping_rule& rule);
