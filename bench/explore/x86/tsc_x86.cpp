#include "tsc.h"

#include <chrono>
#include <cstdint>
#include <x86intrin.h>

double tsc_hz()
{
    // 50 ms against the steady clock, once: the TSC's rate is fixed (every
    // processor with AVX2 has an invariant TSC), so one reading serves the run.
    static const double hz = [] {
        using clock = std::chrono::steady_clock;
        const auto start = clock::now();
        const uint64_t first = __rdtsc();
        while (clock::now() - start < std::chrono::milliseconds(50)) {
        }
        const uint64_t last = __rdtsc();
        const double seconds = std::chrono::duration<double>(clock::now() - start).count();
        return double(last - first) / seconds;
    }();
    return hz;
}
