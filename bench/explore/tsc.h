// The rate of the processor's time-stamp counter, where it has one that
// ticks at a constant rate whatever the core's clock does (x86-64's TSC), in
// ticks a second, measured once against the steady clock. Elsewhere it is 0
// and the explorer reports nanoseconds only.
#pragma once

double tsc_hz();
