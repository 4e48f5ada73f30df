#include "benchmarks.h"

#include "all_cores.h"
#include "compute_roof.h"
#include "mean4.h"
#include "memory_limits.h"
#include "roof_model.h"
#include "run_context.h"
#include "statistics.h"
#include "tsc.h"
#include "verify.h"
#include "workload.h"

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

bool g_huge_pages = false;

// The workload of this side, made on first use; null, with the benchmark
// reported as an error, when there is no memory for it.
Workload* workload(benchmark::State& state, size_t side)
{
    static std::map<size_t, std::unique_ptr<Workload>> workloads;
    auto& slot = workloads[side];
    if (!slot) {
        try {
            slot = std::make_unique<Workload>(side, g_huge_pages);
        } catch (const std::bad_alloc&) {
            const std::string s = std::to_string(side);
            state.SkipWithError(("cannot allocate the " + s + " x " + s + " workload").c_str());
            return nullptr;
        }
    }
    return slot.get();
}

template <typename Work> double seconds_taken(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void run_copy(const Memory_copy& copy, Workload& w)
{
    if (!copy.pattern && copy.cores == Cores::one)
        limit_pass(w.src, w.dst, w.pixels, copy.stores);
    else if (!copy.pattern)
        limit_pass_all_cores(w.src, w.dst, w.side, w.side, copy.stores);
    else if (copy.cores == Cores::one)
        pattern_pass(w.src, w.dst, w.side, w.side, copy.stores, copy.rows_per_pass);
    else
        pattern_pass_all_cores(w.src, w.dst, w.side, w.side, copy.stores, copy.rows_per_pass);
}

// "copy=row_pairs, stores=cached, cores=one"
std::string copy_facts(const Memory_copy& copy)
{
    std::string facts = "copy=";
    facts.append(!copy.pattern             ? "limit"
                 : copy.rows_per_pass == 2 ? "row_pairs"
                                           : "three_rows")
        .append(", stores=")
        .append(stores_name(copy.stores))
        .append(", cores=")
        .append(cores_name(copy.cores));
    return facts;
}

void set_counters(benchmark::State& state, const Workload& w)
{
    const auto per_iteration = static_cast<int64_t>(w.pixels);
    state.SetBytesProcessed(state.iterations() * per_iteration * int64_t(BYTES_PER_PIXEL));
    state.counters["pixels_per_second"] =
        benchmark::Counter(double(w.pixels), benchmark::Counter::kIsIterationInvariantRate);
    // Reported with or without --huge_pages: what the kernel granted.
    state.counters["huge_pages"] = w.huge_page_share();
}

// Empty if the result is exact; otherwise the differing words, the first
// named, as the benchmark program reports them.
std::string first_difference(const Explore_variant& variant, const Workload& w)
{
    const Result_difference difference =
        compare_results(w.expected.data(), w.dst, w.side, w.side, nullptr);
    if (difference.differing_words == 0)
        return "";
    char text[256];
    format_difference(text, sizeof text, variant.name.c_str(), difference);
    return text;
}

// Once per variant and size, before any timing: every word must be the
// reference's. The sentinel exposes words the variant leaves unwritten.
// Empty if it passes; otherwise why not.
std::string verify_once(const Explore_variant& variant, Workload& w)
{
    static std::set<std::pair<const Explore_variant*, size_t>> verified;
    if (verified.count({&variant, w.side}) != 0)
        return "";
    const auto s = static_cast<int32_t>(w.side);
    std::fill_n(w.dst, w.pixels, 0xA5A5A5A5u);
    const int32_t status = variant.run(s, s, w.src, w.dst);
    const std::string difference =
        status == MEAN4_OK ? first_difference(variant, w)
                           : variant.name + " returned status " + std::to_string(status);
    if (difference.empty())
        verified.insert({&variant, w.side});
    return difference;
}

// The band a kernel's compute roof is sampled on at this side, made once.
Compute_band& compute_band(const Mean4_kernel& kernel, size_t side)
{
    static std::map<std::pair<const Mean4_kernel*, size_t>, std::unique_ptr<Compute_band>> bands;
    const size_t width = compute_band_width(side, l1d_bytes(caches()));
    auto& band = bands[{&kernel, width}];
    if (!band)
        band = std::make_unique<Compute_band>(kernel, width, l1d_bytes(caches()));
    return *band;
}

// What every iteration measures beside the timed call, in seconds, and the
// row length of the band the compute samples came from.
struct Paired_samples {
    std::vector<double> call, limit, pattern, interior_ns_per_pixel, call_ns;
    size_t band_width = 0;
};

Paired_samples time_pairs(benchmark::State& state, const Explore_variant& variant, Workload& w)
{
    const auto s = static_cast<int32_t>(w.side);
    const Mean4_kernel& kernel = *variant.kernel;
    const Memory_copy limit{false, kernel.stores, variant.cores, 1};
    const Memory_copy pattern{true, kernel.stores, variant.cores, kernel.rows_per_pass};
    Compute_band& band = compute_band(cost_twin(kernel), w.side);
    Paired_samples samples;
    samples.band_width = band.width();
    for (auto _ : state) {
        samples.limit.push_back(seconds_taken([&] { run_copy(limit, w); }));
        samples.pattern.push_back(seconds_taken([&] { run_copy(pattern, w); }));
        const Compute_sample compute = band.sample();
        samples.interior_ns_per_pixel.push_back(compute.interior_ns_per_pixel);
        samples.call_ns.push_back(compute.call_ns);
        samples.call.push_back(seconds_taken([&] { variant.run(s, s, w.src, w.dst); }));
        state.SetIterationTime(samples.call.back());
    }
    return samples;
}

// The pairs' medians, their spread, the roofs and the model as counters,
// and the variant's bound and facts in its label.
void report_pairs(benchmark::State& state, const Explore_variant& variant, size_t side,
                  const Paired_samples& samples)
{
    const double call_ms = median(samples.call) * 1e3;
    const double limit_ms = median(samples.limit) * 1e3;
    state.counters["limit_ms"] = limit_ms;
    state.counters["x_limit"] = call_ms / limit_ms;
    // The spread of the pairs: quartiles of each iteration's own ratio.
    std::vector<double> ratios;
    for (size_t i = 0; i < samples.call.size(); ++i)
        ratios.push_back(samples.call[i] / samples.limit[i]);
    state.counters["x_limit_q1"] = quantile(ratios, 0.25);
    state.counters["x_limit_q3"] = quantile(ratios, 0.75);

    const unsigned threads = variant.cores == Cores::all ? unsigned(omp_get_max_threads()) : 1;
    const Compute_sample compute{median(samples.interior_ns_per_pixel), median(samples.call_ns)};
    const Roofs roofs{compute_ms(compute, samples.band_width, side, threads),
                      median(samples.pattern) * 1e3};
    state.counters["compute_ns_per_pixel"] = compute.interior_ns_per_pixel / threads;
    if (tsc_hz() > 0)
        state.counters["compute_tsc_per_pixel"] =
            compute.interior_ns_per_pixel / threads * 1e-9 * tsc_hz();
    // The call's own share of the roof: its checks and the frame's edge rows
    // at the band's row length, which weigh most on the smallest images.
    state.counters["compute_call_us"] = call_ns(compute, samples.band_width, side) * 1e-3;
    state.counters["compute_ms"] = roofs.compute_ms;
    state.counters["pattern_ms"] = roofs.pattern_ms;
    const Model model = model_time(roofs);
    state.counters["model_ms"] = model.ms;
    state.counters["x_model"] = call_ms / model.ms;
    state.counters["memory_over_compute"] = roofs.pattern_ms / roofs.compute_ms;
    std::string label = "vs " + limit_name(variant.kernel->stores, variant.cores);
    state.SetLabel(label.append(", bound=")
                       .append(bound_name(model.bound))
                       .append(", ")
                       .append(variant_facts(variant)));
}

} // namespace

void back_workloads_with_huge_pages()
{
    g_huge_pages = true;
}

void copy_benchmark(benchmark::State& state, Memory_copy copy, size_t side)
{
    Workload* const workload_of_side = workload(state, side);
    if (workload_of_side == nullptr)
        return;
    for (auto _ : state)
        state.SetIterationTime(seconds_taken([&] { run_copy(copy, *workload_of_side); }));
    set_counters(state, *workload_of_side);
    state.SetLabel(copy_facts(copy));
}

void filter_benchmark(benchmark::State& state, const Explore_variant& variant, size_t side)
{
    if (!variant.supported()) {
        state.SkipWithError(
            (std::string("skipped: this processor lacks ") + variant.kernel->isa.name).c_str());
        return;
    }
    Workload* const workload_of_side = workload(state, side);
    if (workload_of_side == nullptr)
        return;
    Workload& w = *workload_of_side;
    if (const std::string difference = verify_once(variant, w); !difference.empty()) {
        state.SkipWithError(difference.c_str());
        return;
    }
    const Paired_samples samples = time_pairs(state, variant, w);
    set_counters(state, w);
    report_pairs(state, variant, side, samples);
}

void dispatch_to_all_cores(benchmark::State& state)
{
    for (auto _ : state)
        for_each_band([](unsigned band, unsigned) { benchmark::DoNotOptimize(band); });
}
