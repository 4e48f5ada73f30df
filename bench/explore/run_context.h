// What the explorer writes into the run's context besides Google
// Benchmark's own keys: the format's version, the method's number, the
// limit's definition and the stopping rule, the processor, how the system
// runs it, the event counters, the build, the library's target and the
// caches; and the warnings, on stderr, for what makes the figures less
// reliable. docs/json.md lists every key.
#pragma once

#include "session.h"

// The version of the explorer's JSON: which keys its benchmarks' counters
// and labels and its context hold. Raised when a key is added, renamed or
// dropped, and the tables in docs/json.md with it; a reader that knows
// an older version still reads a newer one, ignoring the keys it does not
// know.
constexpr int JSON_VERSION = 5;

// The method's number: what the figures mean. Raised whenever the meaning
// of a figure changes, with or without a change of keys, and the tools
// compare figures only between runs of the same method:
//   1  the limit is the widening copy, one row, each point timed for Google
//      Benchmark's minimum time;
//   2  the limit is the fastest of three copies, each point measured until
//      its interval settles or its budget is spent;
//   3  every timed call and copy starts after a pause for the writes of the
//      one before to drain;
//   4  pairs alternate their order, every repetition is timed on a fresh
//      placement of its workload, a point's interval comes from its
//      repetitions, and the clock probe adds registers, which no core folds.
constexpr int MEAN4_METHOD = 4;

// What a variant's limit is, in the context's words.
constexpr const char LIMIT_DEFINITION[] =
    "the fastest of the widening copy, the three-row copy and the row-pair copy";

// The data caches in use: Google Benchmark's, else the operating system's.
std::vector<Cache_fact> find_caches();

// Adds every key to the run's context, warning of what makes figures less
// reliable, and opens the session's event counters; call before the
// benchmarks run, with the session's caches found.
void describe_run(Session& session);

// After they ran: the warnings only the run itself could show.
void warn_of_the_run(const Session& session);
