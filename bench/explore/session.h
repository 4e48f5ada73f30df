// One run of the explorer: what its benchmarks share, made in main and handed
// to each of them, and what the run's context describes and its warnings
// judge. The run's state lives here and nowhere else.
#pragma once

#include "event_counters.h"
#include "loaded_kernels.h"
#include "machine_caches.h"
#include "run_notes.h"
#include "statistics.h"
#include "variants.h"
#include "workload.h"

#include <cstddef>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct Session {
    // The kernels the run measures: the registry's, then those loaded from
    // shared objects (--kernel), which own theirs; and their variants.
    std::vector<std::unique_ptr<Loaded_kernels>> loaded;
    std::vector<const Mean4_kernel*> kernels;
    std::vector<Explore_variant> variants;
    // How long each repetition of a point is measured.
    Stopping_rule rule;
    // Back the workloads (and so the limits' buffers) with transparent huge
    // pages.
    bool huge_pages = false;
    // The data caches in use, found before the first benchmark.
    std::vector<Cache_fact> caches;
    // The events every point counts, opened before the first benchmark: the
    // hardware's around each timed call, on the calling thread or on the
    // all-core variants' team, and the software's over each point.
    std::unique_ptr<Event_group> hardware, hardware_team, software;
    // What the points showed, for the warnings at the end.
    Run_notes notes;
    // Where each workload is placed: a generator of its own in every run, so
    // that runs and repetitions place theirs differently.
    std::mt19937_64 placement{std::random_device{}()};
    // Each side's image and reference result, made on first use.
    std::map<size_t, std::unique_ptr<Image>> images;
    // Each side's current placement of its workload, and the benchmarks that
    // ran on it: a benchmark that comes back gets a new one, so that no two
    // repetitions of a benchmark share a placement, while benchmarks in
    // between share one and the run does not pay to place every repetition.
    struct Placement {
        std::unique_ptr<Workload> workload;
        std::set<std::string> used_by;
    };
    std::map<size_t, Placement> placements;
    // The variants verified on every word, at each side.
    std::set<std::pair<const Explore_variant*, size_t>> verified;
};
