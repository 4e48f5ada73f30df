// The Windows platform layer's own promises, beyond the shared tick tests.
#include "platform.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(Windows_tick_source, IsKernel32sGetTickCount64ResolvedBeforeMain)
{
    const FARPROC exported = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64");
    ASSERT_NE(exported, nullptr) << "every supported Windows exports GetTickCount64";
    EXPECT_EQ(reinterpret_cast<void*>(g_tick_count64), reinterpret_cast<void*>(exported));
}

TEST(Windows_allocation, HonoursTheAlignmentTheKernelsNeed)
{
    for (const size_t alignment : {16, 32, 64}) {
        void* block = allocate_aligned(1000, alignment);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignment, 0u) << alignment;
    }
}

} // namespace
