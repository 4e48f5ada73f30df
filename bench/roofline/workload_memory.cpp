#include "workload_memory.h"

#include "machine_state.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <sstream>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

constexpr size_t HUGE_PAGE = size_t{2} << 20;

size_t round_up(size_t bytes, size_t multiple)
{
    return (bytes + multiple - 1) / multiple * multiple;
}

} // namespace

#ifdef __linux__

// A mapping of its own rather than the allocator's memory: freed blocks
// come back from the heap on the same physical pages, and where a
// workload's pages lie (which cache sets and memory banks they fall in) is
// part of what a placement varies.
Workload_buffer::Workload_buffer(size_t bytes, size_t offset, bool huge_pages)
{
    const size_t alignment = huge_pages ? HUGE_PAGE : size_t(sysconf(_SC_PAGESIZE));
    // Room to align the start, and the offset and bytes after it.
    mapping_bytes_ = round_up(offset + std::max<size_t>(bytes, 1), alignment) + alignment;
    mapping_ =
        mmap(nullptr, mapping_bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED)
        throw std::bad_alloc();
    const size_t start = round_up(reinterpret_cast<uintptr_t>(mapping_), alignment);
#ifdef MADV_HUGEPAGE
    // Only advice: where THP is off, or no huge page is free, the kernel
    // falls back to small pages, and huge_page_bytes says so.
    if (huge_pages)
        madvise(reinterpret_cast<void*>(start), mapping_bytes_ - alignment, MADV_HUGEPAGE);
#endif
    data_ = reinterpret_cast<void*>(start + offset);
}

Workload_buffer::~Workload_buffer()
{
    munmap(mapping_, mapping_bytes_);
}

#else

Workload_buffer::Workload_buffer(size_t bytes, size_t offset, bool huge_pages)
{
    // Without mappings of its own: memory aligned as a huge page would be,
    // which huge_pages asks for and a page does no worse with.
    (void)huge_pages;
    mapping_bytes_ = round_up(offset + std::max<size_t>(bytes, 1), HUGE_PAGE);
    mapping_ = ::operator new[](mapping_bytes_, std::align_val_t{HUGE_PAGE});
    data_ = static_cast<char*>(mapping_) + offset;
}

Workload_buffer::~Workload_buffer()
{
    ::operator delete[](mapping_, std::align_val_t{HUGE_PAGE});
}

#endif

size_t huge_page_bytes_in(const std::string& smaps, uintptr_t first, size_t bytes)
{
    const uintptr_t end = first + bytes;
    size_t overlap = 0, in_huge_pages = 0;
    std::istringstream lines(smaps);
    std::string line;
    while (std::getline(lines, line)) {
        uintptr_t start = 0, stop = 0;
        unsigned long kib = 0;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " ", &start, &stop) == 2) {
            // A mapping's first line: how much of it the range covers.
            overlap =
                start < end && first < stop ? std::min(stop, end) - std::max(start, first) : 0;
        } else if (overlap != 0 && std::sscanf(line.c_str(), "AnonHugePages: %lu kB", &kib) == 1) {
            in_huge_pages += std::min<size_t>(size_t{kib} * 1024, overlap);
        }
    }
    return in_huge_pages;
}

size_t huge_page_bytes(const void* block, size_t bytes)
{
    return huge_page_bytes_in(file_text("/proc/self/smaps"), reinterpret_cast<uintptr_t>(block),
                              bytes);
}
