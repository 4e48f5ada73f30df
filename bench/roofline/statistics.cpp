#include "statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
