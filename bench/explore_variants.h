// The explorer's variants: the benchmark's three and the routes toward the
// memory limit, each exact and behind the benchmark's one signature, and the
// limit each is measured against.
#pragma once

#include "mean4_variants.h"

enum class Limit_kind { cached, streaming, cached_all_cores, streaming_all_cores };

struct Explore_variant {
    Mean4_variant variant;
    Limit_kind limit; // the limit for its kind of store and number of threads
};

constexpr int EXPLORE_VARIANT_COUNT = 11;
extern const Explore_variant EXPLORE_VARIANTS[EXPLORE_VARIANT_COUNT];

// The fastest single-threaded variant this processor can run with cached
// stores, and with streaming stores.
const Explore_variant& best_cached_variant();
const Explore_variant& best_streaming_variant();
