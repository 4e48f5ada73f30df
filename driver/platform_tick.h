// What each platform file provides for the shared tick code in platform.cpp.
// Internal to the platform layer.
#pragma once

#include <cstdint>

// Sets g_tick_count64 to the platform's 64-bit millisecond tick, or to null
// where the platform does not provide one.
void resolve_tick_count64();

// The 32-bit millisecond tick the program falls back on; it wraps every 49.7 days.
uint32_t tick_count32();
