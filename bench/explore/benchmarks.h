// The explorer's benchmark bodies: the memory copies on their own, every
// variant timed with its limit and its roofs paired with each call, and what
// handing work to every core costs. main.cpp registers them.
#pragma once

#include "event_counters.h"
#include "statistics.h"
#include "variants.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <string>

// A copy that moves the filter's bytes and computes nothing: the limit
// (limit_pass, on one core or all), or the pattern copy (pattern_pass, one
// core) with rows_per_pass 1 or 2.
struct Memory_copy {
    bool pattern;
    Mean4_stores stores;
    Cores cores;
    size_t rows_per_pass;
};

// Back the workloads, made on first use, with transparent huge pages.
void back_workloads_with_huge_pages();

// Opens the event counters the points read: call once, before the first.
void open_event_counters(bool virtual_machine);
const Event_group& hardware_counters();
const Event_group& software_counters();

// The points during which other processes kept a processor busy for a tenth
// of the point's time or more.
struct Busy_points {
    size_t count = 0;
    std::string first;
    void note(const std::string& point)
    {
        if (count++ == 0)
            first = point;
    }
};
const Busy_points& busy_points();

// The least and most throughput the core gave the explorer, over the points'
// medians of core_adds_per_ns, the points they came from, and the range of
// its clock meanwhile.
struct Core_share {
    double least = 0, most = 0;
    std::string least_at, most_at;
    double slowest_ghz = 0, fastest_ghz = 0;
    void note(const std::string& point, double adds_per_ns, double ghz)
    {
        if (!(adds_per_ns > 0) || !(ghz > 0))
            return;
        if (least == 0 || adds_per_ns < least)
            least = adds_per_ns, least_at = point;
        if (adds_per_ns > most)
            most = adds_per_ns, most_at = point;
        slowest_ghz = slowest_ghz == 0 ? ghz : std::min(slowest_ghz, ghz);
        fastest_ghz = std::max(fastest_ghz, ghz);
    }
};
const Core_share& core_share();

// How long a variant's point is measured (statistics.h): until the
// interval of its x_limit settles, or its budget is spent.
void set_point_budget(const Stopping_rule& rule);
const Stopping_rule& point_budget();

void copy_benchmark(benchmark::State& state, Memory_copy copy, size_t side);

// Verifies the variant on every word at this side, once, then times it in
// pairs for as long as point_budget() says, in one iteration of Google
// Benchmark's; a variant the processor cannot run, or that fails, is
// reported as an error.
void filter_benchmark(benchmark::State& state, const Explore_variant& variant, size_t side);

void dispatch_to_all_cores(benchmark::State& state);
