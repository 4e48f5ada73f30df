// The explorer's workloads: a side x side image of 7-bit pixels as the
// benchmark makes them, a result buffer aligned for every kernel, and the
// reference result, made once per side on first use.
#pragma once

#include "workload_memory.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct Workload {
    // Throws std::bad_alloc when there is no memory for it.
    Workload(size_t side, bool huge_pages);

    // The share of the source and result that lies in huge pages.
    double huge_page_share() const;

    size_t side;
    size_t pixels;
    Workload_buffer src_memory;
    Workload_buffer dst_memory;
    uint8_t* src;
    uint32_t* dst;
    std::vector<uint32_t> expected;
};
