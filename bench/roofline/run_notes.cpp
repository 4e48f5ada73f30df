#include "run_notes.h"

#include "machine_state.h"

#include <algorithm>
#include <cstdio>

namespace {

// A number as the warnings print it: "%.1f" or "%.2f".
std::string fixed(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

void Run_notes::note(const Point_note& point)
{
    if (point.other_cpu_seconds >= 0 && point.other_cpu_seconds > BUSY_SHARE * point.seconds &&
        busy_++ == 0)
        first_busy_ = point.point;
    if (additions_folded(point.core_ghz, point.core_ghz_by_multiplies) && clocks_apart_++ == 0) {
        first_clocks_apart_ = point.point;
        apart_by_additions_ = point.core_ghz;
        apart_by_multiplies_ = point.core_ghz_by_multiplies;
    }
    if (!(point.core_adds_per_ns > 0) || !(point.core_ghz > 0))
        return;
    if (least_adds_ == 0 || point.core_adds_per_ns < least_adds_)
        least_adds_ = point.core_adds_per_ns, least_adds_at_ = point.point;
    if (point.core_adds_per_ns > most_adds_)
        most_adds_ = point.core_adds_per_ns, most_adds_at_ = point.point;
    slowest_ghz_ = slowest_ghz_ == 0 ? point.core_ghz : std::min(slowest_ghz_, point.core_ghz);
    fastest_ghz_ = std::max(fastest_ghz_, point.core_ghz);
}

std::vector<std::string> Run_notes::warnings() const
{
    std::vector<std::string> lines;
    if (busy_ != 0)
        lines.push_back("other processes kept a processor busy during " + std::to_string(busy_) +
                        " points (the first: " + first_busy_ +
                        "); each point's other_cpu_s says how long");
    if (most_adds_ > 0 && least_adds_ < SHARED_CORE * most_adds_)
        lines.push_back(
            "the core's throughput for this thread ranged from " + fixed(least_adds_, 1) + " (" +
            least_adds_at_ + ") to " + fixed(most_adds_, 1) + " (" + most_adds_at_ +
            ") additions a nanosecond across the points, its clock from " + fixed(slowest_ghz_, 2) +
            " to " + fixed(fastest_ghz_, 2) +
            " GHz: throughput that falls while the clock holds is what another hardware thread "
            "on the same physical core causes, and throughput-bound points slow with it; each "
            "point's core_adds_per_ns says which");
    if (clocks_apart_ != 0)
        lines.push_back(
            "the clock read by additions was more than a tenth above the clock read "
            "by multiplications at " +
            std::to_string(clocks_apart_) + " points (the first: " + first_clocks_apart_ + ", " +
            fixed(apart_by_additions_, 2) + " against " + fixed(apart_by_multiplies_, 2) +
            " GHz): this core folds the additions or multiplies at another latency "
            "than three cycles, and core_ghz is not its clock");
    return lines;
}
