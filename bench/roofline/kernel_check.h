// Whether a kernel computes the filter's rule on every image, before anyone
// times it: the geometries of the unit tests (widths, odd and even row
// counts, every split into two bands, sources off a 64-byte boundary, images
// that expose known faults), each with a result pre-filled with a sentinel
// and guard words past it, then random images and geometries for a while.
// Each group of cases runs in a child process of its own, so that a kernel
// that crashes is reported with the geometry it was running, and the check
// stops at the first wrong word. Linux only.
#pragma once

#include "mean4_registry.h"

#include <cstdint>
#include <string>
#include <vector>

struct Kernel_check_plan {
    // Every geometry of the unit tests; false: a few of each group, as the
    // explorer checks a loaded kernel before it times it.
    bool thorough = true;
    // Then random images and geometries for so long.
    double random_seconds = 2.0;
    uint32_t seed = 1;
};

struct Kernel_check_result {
    bool passed = true;
    // One line: the group, the geometry, and the first wrong word, the write
    // outside the result or the crash.
    std::string failure;
    // What was checked, a line a group: "whole images: 150 geometries".
    std::vector<std::string> checked;
};

Kernel_check_result check_kernel(const Mean4_kernel& kernel, const Kernel_check_plan& plan);
