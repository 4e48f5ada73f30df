// The explorer's benchmark bodies: the memory copies on their own, every
// variant timed with its limit and its roofs paired with each call, and what
// handing work to every core costs. main.cpp registers them.
#pragma once

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

// Back the workloads, made on first use, with transparent huge pages.
void back_workloads_with_huge_pages();

void copy_benchmark(benchmark::State& state, Memory_copy copy, size_t side);

// Verifies the variant on every word at this side, once, then times it; a
// variant the processor cannot run, or that fails, is reported as an error.
void filter_benchmark(benchmark::State& state, const Explore_variant& variant, size_t side);

void dispatch_to_all_cores(benchmark::State& state);
