// Memory for the explorer's workloads: aligned for every kernel, and on
// request backed by transparent huge pages, with a way to see whether the
// kernel granted them.
#pragma once

#include <cstddef>
#include <memory>

struct Workload_memory_free {
    void operator()(void* block) const;
};
using Workload_buffer = std::unique_ptr<void, Workload_memory_free>;

// `bytes` of untouched memory, 64-byte aligned. With huge_pages, 2 MiB aligned
// and marked for transparent huge pages (madvise MADV_HUGEPAGE), which the
// kernel grants, or not, when the pages are first touched. Throws
// std::bad_alloc when there is no memory.
Workload_buffer allocate_workload_memory(size_t bytes, bool huge_pages);

// How many of the bytes at [block, block + bytes) lie in huge pages, from
// /proc/self/smaps: the AnonHugePages of the mappings that hold them, at most
// their overlap with the range. 0 where the system does not say.
size_t huge_page_bytes(const void* block, size_t bytes);
