// The parts of the platform layer that both systems share: the tick pointer,
// its resolution at start-up, and the tick read through it.
#include "platform.h"

#include "platform_tick.h"

Tick_count64_fn g_tick_count64 = nullptr;

// Runs during static initialisation, before the entry function and before
// anything reads the tick.
[[maybe_unused]] static const bool tick_count64_resolved = (resolve_tick_count64(), true);

uint64_t tick_count_ms()
{
    const Tick_count64_fn tick64 = g_tick_count64;
    return tick64 != nullptr ? tick64() : tick_count32();
}
