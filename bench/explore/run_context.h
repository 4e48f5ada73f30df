// What the explorer writes into the run's context besides Google
// Benchmark's own keys: the format's version, the processor, the build, the
// library's target and the caches. docs/explorer.md lists every key.
#pragma once

#include "machine_caches.h"

#include <vector>

// The version of the explorer's JSON: what its benchmarks' counters and
// labels and its context hold. Raised with every change to them, and the
// table in docs/explorer.md with it.
constexpr int JSON_VERSION = 2;

// The data caches in use, found once: Google Benchmark's, else the
// operating system's.
const std::vector<Cache_fact>& caches();

// Adds every key to the run's context; call before the benchmarks run.
void describe_run();
