// The processor's time-stamp counter, where it has one that ticks at a
// constant rate whatever the core's clock does (x86-64's TSC): its count,
// and its rate in ticks a second, measured once against the steady clock.
// Elsewhere tsc_hz() is 0 and the explorer reports nanoseconds only.
#pragma once

#include <cstdint>

uint64_t tsc_count();
double tsc_hz();
