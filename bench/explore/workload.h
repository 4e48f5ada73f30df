// The explorer's workloads: a side x side image of 7-bit pixels as the
// benchmark makes them, with the reference's result, made once per side; and
// its placements, each a fresh source and result at their own offsets on
// their own pages, made for every repetition of every benchmark.
#pragma once

#include "workload_memory.h"

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

struct Image {
    // Throws std::bad_alloc when there is no memory for it.
    explicit Image(size_t side);

    size_t side;
    size_t pixels;
    std::vector<uint8_t> source;
    std::vector<uint32_t> expected; // the reference's result
};

// How far into its first page a placement's buffers start: a multiple of a
// cache line, so that every row's lines are those of any other placement,
// and below a page, the range over which the source and the result can
// alias one another's addresses in the first-level cache.
constexpr size_t PLACEMENT_STEP = 64;
constexpr size_t PLACEMENT_RANGE = 4096;

struct Workload {
    // The image's pixels in a fresh source and a zeroed fresh result, each
    // at an offset drawn from `placement`. Each band's rows are first
    // touched by the thread that filters that band in the all-core variants,
    // so that on a machine with several memory nodes its pages sit on that
    // thread's node. Throws std::bad_alloc when there is no memory for it.
    Workload(const Image& image, bool huge_pages, std::mt19937_64& placement);

    // The share of the source and result that lies in huge pages.
    double huge_page_share() const;

    const Image& image;
    size_t side;
    size_t pixels;
    Workload_buffer src_memory;
    Workload_buffer dst_memory;
    uint8_t* src;
    uint32_t* dst;
};
