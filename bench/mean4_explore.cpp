// The roofline explorer: every variant of the filter timed against the
// machine's memory limits, measured in the same run, at every image size from
// cache-resident to the benchmark's own, so that it shows where vectorisation
// pays and where memory decides.
//
// Each variant's result is checked against the reference on every word before
// it is timed; a variant the processor cannot run is reported as skipped,
// with the instruction set it lacks.
//
// Every iteration of a variant times its call and, untimed beside it, three
// things that drift with the machine just as the call does: its memory limit
// (limit_ms, x_limit, and the quartiles of the pairs, x_limit_q1 and
// x_limit_q3), the copy with its own access pattern (pattern_ms) and a sample
// of its compute roof (compute_ns_per_pixel, compute_tsc_per_pixel, and at the
// point's size compute_ms, of which compute_call_us is the call's own cost:
// its checks and the frame's edge rows; see compute_roof.h). From the last two
// follow the modelled time (model_ms, x_model, see roof_model.h) and which
// roof is higher: memory_over_compute, above 1 where memory bounds the point,
// which Google Benchmark keeps in the aggregates, and bound= in the label.
//
// The run's context names the data caches, each with where it came from
// (cache_L1d = "49152 bytes, from sysconf").
//
// Options of its own, besides Google Benchmark's:
//   --huge_pages   back the workloads (and so the limits' buffers) with
//                  transparent huge pages. Every benchmark reports the share
//                  of its source and result that lies in huge pages, as
//                  huge_pages, with or without the option.
#include "all_cores.h"
#include "compute_roof.h"
#include "explore_variants.h"
#include "machine_caches.h"
#include "mean4.h"
#include "memory_limits.h"
#include "roof_model.h"
#include "tsc.h"
#include "verify.h"
#include "workload.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr size_t FULL_SIDE = IMAGE_WIDTH;
// Square images from cache-resident to the benchmark's own. The all-core
// variants start at ALL_CORES_FROM: below it a call is too short for its
// dispatch to be negligible, and the image fits one core's caches anyway.
constexpr size_t SIDES[] = {256, 512, 1024, 2048, 4096, FULL_SIDE};
constexpr size_t ALL_CORES_FROM = 2048;

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

// The q-quantile of the samples (0.5 the median), interpolated between ranks.
double quantile(std::vector<double> samples, double q)
{
    std::sort(samples.begin(), samples.end());
    const double rank = q * double(samples.size() - 1);
    const auto below = static_cast<size_t>(rank);
    const size_t above = std::min(below + 1, samples.size() - 1);
    return samples[below] + (rank - double(below)) * (samples[above] - samples[below]);
}

double median(std::vector<double> samples)
{
    return quantile(std::move(samples), 0.5);
}

// The data caches in use, found once: Google Benchmark's, else the
// operating system's.
const std::vector<Cache_fact>& caches()
{
    static const std::vector<Cache_fact> found = [] {
        std::vector<Cache_fact> from_benchmark;
        for (const auto& cache : benchmark::CPUInfo::Get().caches)
            from_benchmark.push_back(
                {cache.level, cache.type, size_t(std::max(0, cache.size)), "google-benchmark", ""});
        return choose_caches(from_benchmark, operating_system_caches(), memory_bytes());
    }();
    return found;
}

// Each cache into the run's context: "49152 bytes, from sysconf", and for a
// size the explorer does not use, why. Where no first-level data cache is
// known, the size the compute roofs assume instead.
void describe_caches()
{
    const bool l1d_known = std::any_of(caches().begin(), caches().end(), [](const Cache_fact& c) {
        return cache_name(c) == "L1d" && c.reason_not_used.empty();
    });
    if (!l1d_known)
        benchmark::AddCustomContext("cache_L1d", std::to_string(l1d_bytes(caches())) +
                                                     " bytes, assumed: none reported");
    for (const Cache_fact& cache : caches()) {
        std::string text = std::to_string(cache.bytes) + " bytes, from " + cache.source;
        if (!cache.reason_not_used.empty())
            text.append("; not used: ").append(cache.reason_not_used);
        std::string key = "cache_";
        benchmark::AddCustomContext(key.append(cache_name(cache)), text);
    }
}

template <typename Work> double seconds_taken(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void run_limit(Mean4_stores stores, Cores cores, Workload& w)
{
    if (cores == Cores::one)
        limit_pass(w.src, w.dst, w.pixels, stores);
    else
        limit_pass_all_cores(w.src, w.dst, w.side, w.side, stores);
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

void limit_benchmark(benchmark::State& state, Mean4_stores stores, Cores cores, size_t side)
{
    Workload* const workload_of_side = workload(state, side);
    if (workload_of_side == nullptr)
        return;
    Workload& w = *workload_of_side;
    for (auto _ : state)
        state.SetIterationTime(seconds_taken([&] { run_limit(stores, cores, w); }));
    set_counters(state, w);
}

// The copy with the row kernels' reads (three_row_pass): beside limit_cached,
// it shows what reading each source row three times costs by itself; with
// rows_per_pass 2, what reading it in two passes costs.
void three_row_benchmark(benchmark::State& state, Mean4_stores stores, size_t rows_per_pass,
                         size_t side)
{
    Workload* const workload_of_side = workload(state, side);
    if (workload_of_side == nullptr)
        return;
    Workload& w = *workload_of_side;
    for (auto _ : state)
        state.SetIterationTime(seconds_taken(
            [&] { three_row_pass(w.src, w.dst, w.side, w.side, stores, rows_per_pass); }));
    set_counters(state, w);
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
    const Mean4_stores stores = variant.kernel->stores;
    const size_t rows_per_pass = variant.kernel->rows_per_pass;
    Compute_band& band = compute_band(costed_as(*variant.kernel), w.side);
    Paired_samples samples;
    samples.band_width = band.width();
    for (auto _ : state) {
        samples.limit.push_back(seconds_taken([&] { run_limit(stores, variant.cores, w); }));
        samples.pattern.push_back(seconds_taken([&] {
            if (variant.cores == Cores::one)
                three_row_pass(w.src, w.dst, w.side, w.side, stores, rows_per_pass);
            else
                three_row_pass_all_cores(w.src, w.dst, w.side, w.side, stores, rows_per_pass);
        }));
        const Compute_sample compute = band.sample();
        samples.interior_ns_per_pixel.push_back(compute.interior_ns_per_pixel);
        samples.call_ns.push_back(compute.call_ns);
        samples.call.push_back(seconds_taken([&] { variant.run(s, s, w.src, w.dst); }));
        state.SetIterationTime(samples.call.back());
    }
    return samples;
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
    state.SetLabel(label.append(", bound=").append(bound_name(model.bound)));
}

// What handing an empty job to every core costs, next to a call.
void dispatch_to_all_cores(benchmark::State& state)
{
    for (auto _ : state)
        for_each_band([](unsigned band, unsigned) { benchmark::DoNotOptimize(band); });
}

// "name/side"; the all-core variants and limits from ALL_CORES_FROM up.
// Built by appending: GCC 12 warns falsely about chains of std::string
// operator+.
std::string benchmark_name(const std::string& name, size_t side)
{
    std::string full = name;
    full.append("/").append(std::to_string(side));
    return full;
}

void register_benchmarks()
{
    for (const size_t side : SIDES) {
        for (const Cores cores : {Cores::one, Cores::all}) {
            if (cores == Cores::all && side < ALL_CORES_FROM)
                continue;
            for (const Mean4_stores stores : {Mean4_stores::cached, Mean4_stores::streaming})
                benchmark::RegisterBenchmark(
                    benchmark_name(limit_name(stores, cores), side).c_str(), limit_benchmark,
                    stores, cores, side)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
        }
        for (const Mean4_stores stores : {Mean4_stores::cached, Mean4_stores::streaming})
            for (const size_t rows_per_pass : {1, 2}) {
                const std::string name =
                    limit_name(stores, Cores::one) + (rows_per_pass == 1 ? "_3rows" : "_row_pairs");
                benchmark::RegisterBenchmark(benchmark_name(name, side).c_str(),
                                             three_row_benchmark, stores, rows_per_pass, side)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
            }
        for (const Explore_variant& variant : explore_variants()) {
            if (variant.cores == Cores::all && side < ALL_CORES_FROM)
                continue;
            benchmark::RegisterBenchmark(benchmark_name(variant.name, side).c_str(),
                                         filter_benchmark, std::cref(variant), side)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::RegisterBenchmark("threads/dispatch_to_all_cores", dispatch_to_all_cores)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
}

// Takes the explorer's own options out of argv, before Google Benchmark sees
// it. With --help, says what they are before Google Benchmark lists its own.
void take_own_options(int& argc, char** argv)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--huge_pages") == 0) {
            g_huge_pages = true;
            continue;
        }
        if (std::strcmp(argv[i], "--help") == 0)
            std::printf("mean4_explore: every variant of the filter against the memory limits, "
                        "at every image size.\n"
                        "Its own option:\n"
                        "  --huge_pages   back the workloads with transparent huge pages; every\n"
                        "                 benchmark reports the share it got as huge_pages\n"
                        "Google Benchmark's options:\n");
        argv[kept++] = argv[i];
    }
    argc = kept;
}

} // namespace

int main(int argc, char** argv)
{
    take_own_options(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    describe_caches();
    if (const std::string library = mean4_library_description(); !library.empty())
        benchmark::AddCustomContext("library", library);
    register_benchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
