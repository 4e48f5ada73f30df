#include "workload_memory.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr size_t HUGE_PAGE = size_t{2} << 20;

size_t round_up(size_t bytes, size_t multiple)
{
    return (bytes + multiple - 1) / multiple * multiple;
}

} // namespace

void Workload_memory_free::operator()(void* block) const
{
    std::free(block);
}

Workload_buffer allocate_workload_memory(size_t bytes, bool huge_pages)
{
    const size_t alignment = huge_pages ? HUGE_PAGE : 64;
    // aligned_alloc wants a size that is a multiple of the alignment.
    const size_t size = round_up(std::max<size_t>(bytes, 1), alignment);
    void* block = std::aligned_alloc(alignment, size);
    if (block == nullptr)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    // Only advice: where THP is off, or no huge page is free, the kernel
    // falls back to small pages, and huge_page_bytes says so.
    if (huge_pages)
        madvise(block, size, MADV_HUGEPAGE);
#endif
    return Workload_buffer(block);
}

size_t huge_page_bytes(const void* block, size_t bytes)
{
    FILE* smaps = std::fopen("/proc/self/smaps", "r");
    if (smaps == nullptr)
        return 0;
    const auto first = reinterpret_cast<uintptr_t>(block);
    const uintptr_t end = first + bytes;
    size_t overlap = 0, in_huge_pages = 0;
    char line[512];
    while (std::fgets(line, sizeof line, smaps) != nullptr) {
        uintptr_t start = 0, stop = 0;
        unsigned long kib = 0;
        if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " ", &start, &stop) == 2) {
            // A mapping's first line: how much of it the range covers.
            overlap =
                start < end && first < stop ? std::min(stop, end) - std::max(start, first) : 0;
        } else if (overlap != 0 && std::sscanf(line, "AnonHugePages: %lu kB", &kib) == 1) {
            in_huge_pages += std::min<size_t>(size_t{kib} * 1024, overlap);
        }
    }
    std::fclose(smaps);
    return in_huge_pages;
}
