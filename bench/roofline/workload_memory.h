// Memory for the explorer's workloads: each buffer a mapping of its own, so
// that every placement of a workload lies on physical pages of its own, at an
// offset the caller chooses; on request backed by transparent huge pages,
// with a way to see whether the kernel granted them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Workload_buffer {
  public:
    // `bytes` of untouched memory that start `offset` bytes into a fresh
    // mapping, which is 2 MiB aligned with huge_pages and page aligned
    // otherwise; offset a multiple of 64. With huge_pages the mapping is
    // marked for transparent huge pages (madvise MADV_HUGEPAGE), which the
    // kernel grants, or not, when the pages are first touched. Throws
    // std::bad_alloc when there is no memory.
    Workload_buffer(size_t bytes, size_t offset, bool huge_pages);
    ~Workload_buffer();
    Workload_buffer(const Workload_buffer&) = delete;
    Workload_buffer& operator=(const Workload_buffer&) = delete;

    void* data() const
    {
        return data_;
    }

  private:
    void* mapping_;
    size_t mapping_bytes_;
    void* data_;
};

// How many of the bytes at [block, block + bytes) lie in huge pages, from
// /proc/self/smaps: the AnonHugePages of the mappings that hold them, at most
// their overlap with the range. 0 where the system does not say.
size_t huge_page_bytes(const void* block, size_t bytes);

// The same from the text of a /proc/<pid>/smaps, for the range at `first`.
size_t huge_page_bytes_in(const std::string& smaps, uintptr_t first, size_t bytes);
