// Order statistics of the samples a benchmark collects: the medians and
// quartiles the explorer reports of its paired calls. Distribution-free, as
// timings on a shared machine are anything but normal: a few slow samples
// move them little.
#pragma once

#include <vector>

// The q-quantile of the samples (0 <= q <= 1), interpolated between the
// ranks on either side as Google Benchmark's median is: the median of an
// even count is the mean of the middle two. NaN for no samples.
double quantile(std::vector<double> samples, double q);

double median(std::vector<double> samples);
