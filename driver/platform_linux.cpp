// Linux services behind platform.h: CLOCK_MONOTONIC for the tick, posix_memalign
// for aligned buffers, SIGTRAP for the debugger break.
#include "platform.h"
#include "platform_tick.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static uint64_t monotonic_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void resolve_tick_count64()
{
    // Every Linux kernel the program can run on has CLOCK_MONOTONIC; asking
    // keeps the contract that the 64-bit tick may be missing, and the fallback
    // honest, rather than assumed.
    timespec resolution{};
    g_tick_count64 = clock_getres(CLOCK_MONOTONIC, &resolution) == 0 ? monotonic_ms : nullptr;
}

uint32_t tick_count32()
{
    return static_cast<uint32_t>(monotonic_ms());
}

void* allocate_aligned(size_t size, size_t alignment)
{
    // posix_memalign refuses a boundary below a pointer's size, which a
    // riscv64 result asks for (a word); the pointer's boundary is also one.
    void* block = nullptr;
    return posix_memalign(&block, std::max(alignment, sizeof(void*)), size) == 0 ? block : nullptr;
}

bool debugger_attached()
{
    // A tracer (gdb, lldb, strace) shows as a non-zero TracerPid.
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return false;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "TracerPid:", 10) == 0) {
            tracer = std::strtol(line + 10, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return tracer != 0;
}

void debugger_break()
{
    std::raise(SIGTRAP);
}

void prepare_standard_streams()
{
    // A closed pipe on stdout becomes a write error with a message, not a
    // silent death by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
}
