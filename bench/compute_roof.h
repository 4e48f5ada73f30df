// The compute roof: what a variant's kernel costs when memory is no object,
// measured alone on a band of rows that stays in the first-level data cache
// (source and result together a third of it or less), called over and over.
// A variant on all cores is taken to share the one-core cost evenly among
// its threads; a streaming one is costed as its cached twin, since
// non-temporal stores drain to memory even from a cache-sized band.
#pragma once

#include "explore_variants.h"

struct Compute_cost {
    double ns_per_pixel;
    double tsc_per_pixel; // 0 where the processor has no constant-rate TSC
};

// Measured once per kernel, on first use; l1d_bytes is the size of the
// first-level data cache.
Compute_cost compute_cost(const Explore_variant& variant, size_t l1d_bytes);
