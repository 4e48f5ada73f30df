// The few operating-system services the benchmark needs: a millisecond tick,
// aligned allocation and a debugger break. One implementation per platform,
// chosen at build time; everything else in the program is shared.
#pragma once

#include <cstddef>
#include <cstdint>

// The 64-bit millisecond tick, looked up once during static initialisation;
// null when the platform does not provide it. Written only before main runs
// (and by tests), read afterwards.
using Tick_count64_fn = uint64_t (*)();
extern Tick_count64_fn g_tick_count64;

// Milliseconds from g_tick_count64 when it is set, otherwise the platform's
// 32-bit tick zero-extended. The pointer is tested on every call.
uint64_t tick_count_ms();

// Elapsed milliseconds between two ticks as a signed 32-bit count. Only the low
// 32 bits of the difference are kept, which also makes a wrap of the 32-bit
// counter between t0 and t1 come out right.
inline int32_t elapsed_ms(uint64_t t0, uint64_t t1)
{
    return static_cast<int32_t>(static_cast<uint32_t>(t1 - t0));
}

// size bytes aligned to `alignment` (a power of two), or null. Never released
// by the program; the end of the process releases it.
void* allocate_aligned(size_t size, size_t alignment);

bool debugger_attached();

// Stops in the attached debugger, which can continue past it. Without a
// debugger this would end the process: ask debugger_attached() first.
void debugger_break();

// Sets up stdout for the report: bytes written as they stand, and a write
// error reported to the program rather than ending it.
void prepare_standard_streams();
