// The explorer's benchmark bodies: the memory copies on their own, every
// variant timed in pairs with its limit and its roofs, and what handing work
// to every core costs. main.cpp registers them, each with the run's Session.
#pragma once

#include "session.h"
#include "variants.h"

#include <benchmark/benchmark.h>

#include <cstddef>

// A copy that moves the filter's bytes and computes nothing: the limit
// (limit_pass, on one core or all), or the pattern copy (pattern_pass, one
// core) with rows_per_pass 1 or 2.
struct Memory_copy {
    bool pattern;
    Mean4_stores stores;
    Cores cores;
    size_t rows_per_pass;
};

// Times the copy on a fresh placement of the workload, for Google
// Benchmark's minimum time.
void copy_benchmark(benchmark::State& state, Session& session, Memory_copy copy, size_t side);

// Verifies the variant on every word at this side, once, then times one
// repetition of it in pairs (pairing.h), on a fresh placement of the
// workload, for as long as the session's rule says, in one iteration of
// Google Benchmark's; a variant the processor cannot run, or that fails, is
// reported as an error.
void filter_benchmark(benchmark::State& state, Session& session, const Explore_variant& variant,
                      size_t side);

void dispatch_to_all_cores(benchmark::State& state);
