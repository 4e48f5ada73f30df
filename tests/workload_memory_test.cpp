// The explorer's workload memory: a buffer starts at the offset it was asked
// for, on a page (or huge page) boundary of a mapping of its own, every byte
// of it writable; and the share of a range in huge pages, read from a
// fixture of /proc/self/smaps.
#include "workload_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

TEST(Workload_memory, ABufferStartsAtItsOffsetOnItsOwnPagesAndIsAllWritable)
{
    for (const bool huge_pages : {false, true})
        for (const size_t offset : {size_t{0}, size_t{64}, size_t{4032}}) {
            SCOPED_TRACE(testing::Message()
                         << "huge pages " << huge_pages << ", offset " << offset);
            const size_t bytes = 3 * 4096 + 5;
            Workload_buffer first(bytes, offset, huge_pages);
            Workload_buffer second(bytes, offset, huge_pages);
            const auto at = reinterpret_cast<uintptr_t>(first.data());
            EXPECT_EQ((at - offset) % (huge_pages ? size_t{2} << 20 : 4096), 0u);
            std::memset(first.data(), 0xA5, bytes); // the whole range, under the sanitizers
            std::memset(second.data(), 0x5A, bytes);
            EXPECT_EQ(static_cast<unsigned char*>(first.data())[bytes - 1], 0xA5)
                << "two buffers overlap";
        }
}

// Two mappings as /proc/self/smaps lists them: 4 MiB, half of it in huge
// pages, then 1 MiB in none.
const char* const SMAPS = "7f0000000000-7f0000400000 rw-p 00000000 00:00 0\n"
                          "Size:               4096 kB\n"
                          "AnonHugePages:      2048 kB\n"
                          "7f0000400000-7f0000500000 rw-p 00000000 00:00 0\n"
                          "Size:               1024 kB\n"
                          "AnonHugePages:         0 kB\n";

TEST(Workload_memory, TheHugePagesOfARangeAreAtMostItsOverlapWithEachMapping)
{
    const uintptr_t base = 0x7f0000000000;
    EXPECT_EQ(huge_page_bytes_in(SMAPS, base, 4 << 20), size_t{2} << 20);
    EXPECT_EQ(huge_page_bytes_in(SMAPS, base, 1 << 20), size_t{1} << 20)
        << "no more than the range's overlap";
    EXPECT_EQ(huge_page_bytes_in(SMAPS, base + (4 << 20), 1 << 20), 0u);
    EXPECT_EQ(huge_page_bytes_in(SMAPS, base + (8 << 20), 1 << 20), 0u) << "no mapping";
    EXPECT_EQ(huge_page_bytes_in("", base, 4 << 20), 0u) << "no smaps: nothing said";
}

} // namespace
