// The explorer's variants, derived from the kernel registry: every kernel on
// one core, and every row kernel also in bands on all cores. Each is measured
// against the limit for its kind of store and its number of cores.
#pragma once

#include "mean4_registry.h"

#include <cstdint>
#include <string>
#include <vector>

enum class Cores { one, all };

struct Explore_variant {
    const Mean4_kernel* kernel;
    Cores cores;
    std::string name; // the kernel's name, with "_all_cores" on all cores

    bool supported() const
    {
        return kernel->isa.supported();
    }

    // Any width and height of at least 1, or only the vectorised frame's sizes.
    bool takes_any_size() const
    {
        return kernel->whole_image != nullptr;
    }

    // The filter's status codes, as mean4_run's.
    int32_t run(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst) const;
};

// The kernels' variants: every kernel on one core, in the order given, then
// every row kernel on all cores.
std::vector<Explore_variant> variants_of(const std::vector<const Mean4_kernel*>& kernels);

// The registry's variants (mean4_every_kernel): the benchmark's kernels
// first, then the explorer's, all on one core, then the row kernels on all
// cores.
const std::vector<Explore_variant>& explore_variants();

// The names the explorer's JSON gives the registry's facts: "hand",
// "library", "compiler", "user"; "reference", "words", "dwords", "bytes"; "cached",
// "streaming"; and the cores, "one" or "all".
const char* author_name(Mean4_author author);
const char* flow_name(Mean4_flow flow);
const char* stores_name(Mean4_stores stores);
const char* cores_name(Cores cores);

// A variant's facts from the registry, as its benchmarks' labels carry them:
// "kernel=avx2_bytes, cores=all, written_by=hand, flow=bytes,
// stores=cached, rows_per_pass=1, isa=AVX2".
std::string variant_facts(const Explore_variant& variant);

// The limit a variant is measured against: "limit_cached", "limit_streaming",
// "limit_cached_all_cores" or "limit_streaming_all_cores".
std::string limit_name(Mean4_stores stores, Cores cores);
