// What the explorer writes into the run's context besides Google
// Benchmark's own keys: the format's version, the limit's definition and the
// stopping rule, the processor, how the system runs it, the event counters,
// the build, the library's target and the caches; and the warnings, on
// stderr, for what makes the figures less reliable. docs/explorer.md lists
// every key.
#pragma once

#include "machine_caches.h"

#include <vector>

// The version of the explorer's JSON: what its benchmarks' counters and
// labels and its context hold. Raised with every change to them, and the
// table in docs/explorer.md with it.
constexpr int JSON_VERSION = 4;

// What a variant's limit is, in the context's words: the tools compare
// x_limit only between runs whose limits mean the same.
constexpr const char LIMIT_DEFINITION[] =
    "the fastest of the widening copy, the three-row copy and the row-pair copy";

// The data caches in use, found once: Google Benchmark's, else the
// operating system's.
const std::vector<Cache_fact>& caches();

// Adds every key to the run's context, warning of what makes figures less
// reliable; call before the benchmarks run.
void describe_run();

// After they ran: the warnings only the run itself could show.
void warn_of_the_run();
