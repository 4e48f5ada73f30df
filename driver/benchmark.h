// The benchmark itself, apart from the entry function: times each variant on
// the benchmark's image, reports it and verifies it against the first.
#pragma once

#include "mean4_registry.h"

#include <span>

// Exit statuses; every failure also prints a line on stderr.
enum Exit_status : int {
    EXIT_OK = 0,
    EXIT_WRONG_RESULT = 1,    // a vector result differs from the reference, or a filter refused
    EXIT_UNSUPPORTED_CPU = 2, // the processor lacks an instruction set a variant needs
    EXIT_OUT_OF_MEMORY = 3,   // a buffer could not be allocated
    EXIT_OUTPUT_ERROR = 4,    // the report could not be written to standard output
};

// Runs the benchmark over `variants`, each with a report label and line: the
// first is the reference, whose result every later one must equal. Returns
// the process's exit status.
int run_benchmark(std::span<const Mean4_kernel> variants);
