// The roofline explorer: every variant of the filter timed against the
// machine's memory limits, measured in the same run, at every image size from
// cache-resident to the benchmark's own, so that it shows where vectorisation
// pays and where memory decides.
//
// Each variant's result is checked against the reference on every word before
// it is timed; a variant the processor cannot run is reported as skipped,
// with the instruction set it lacks.
//
// Beside each variant's time and its paired memory limit (limit_ms, x_limit,
// and the quartiles of the pairs, x_limit_q1 and x_limit_q3), every variant
// reports its compute roof (compute_ns_per_pixel, compute_tsc_per_pixel and
// compute_ms at the point's size, see compute_roof.h), the time the two
// roofs model (model_ms, x_model), and in its label which roof is higher
// (bound=memory or bound=compute).
//
// Options of its own, besides Google Benchmark's:
//   --huge_pages   back the workloads (and so the limits' buffers) with
//                  transparent huge pages. Every benchmark reports the share
//                  of its source and result that lies in huge pages, as
//                  huge_pages, with or without the option.
#include "all_cores.h"
#include "compute_roof.h"
#include "explore_variants.h"
#include "mean4.h"
#include "memory_limits.h"
#include "verify.h"
#include "workload_memory.h"

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
// Each pixel is one byte read and one 32-bit word written.
constexpr size_t BYTES_PER_PIXEL = 5;

bool g_huge_pages = false;

// A side x side image of 7-bit pixels as the benchmark makes them, a result
// buffer aligned for every kernel, and the reference result.
struct Workload {
    explicit Workload(size_t side_)
        : side(side_), pixels(side_ * side_),
          src_memory(allocate_workload_memory(pixels, g_huge_pages)),
          dst_memory(allocate_workload_memory(pixels * sizeof(uint32_t), g_huge_pages)),
          src(static_cast<uint8_t*>(src_memory.get())),
          dst(static_cast<uint32_t*>(dst_memory.get())), expected(pixels)
    {
        // Each band's rows are first touched by the thread that filters that
        // band in the all-core variants, so that on a machine with several
        // memory nodes its pages sit on that thread's node. The pixels come
        // from one generator per row, so the image does not depend on the
        // number of bands.
        for_each_band([&](unsigned band, unsigned bands) {
            for (size_t y = band_start(side, band, bands); y < band_start(side, band + 1, bands);
                 ++y) {
                std::mt19937 rng(static_cast<uint32_t>(side * 65537 + y));
                for (size_t x = 0; x < side; ++x)
                    src[y * side + x] = static_cast<uint8_t>(rng() & 0x7F);
                std::memset(dst + y * side, 0, side * sizeof(uint32_t));
            }
        });
        const auto s = static_cast<int32_t>(side);
        mean4_reference(s, s, src, expected.data());
    }

    // The share of the source and result that lies in huge pages.
    double huge_page_share() const
    {
        const size_t bytes = pixels * BYTES_PER_PIXEL;
        return double(huge_page_bytes(src, pixels) +
                      huge_page_bytes(dst, pixels * sizeof(uint32_t))) /
               double(bytes);
    }

    size_t side;
    size_t pixels;
    Workload_buffer src_memory;
    Workload_buffer dst_memory;
    uint8_t* src;
    uint32_t* dst;
    std::vector<uint32_t> expected;
};

// The workload of this side, made on first use; null, with the benchmark
// reported as an error, when there is no memory for it.
Workload* workload(benchmark::State& state, size_t side)
{
    static std::map<size_t, std::unique_ptr<Workload>> workloads;
    auto& slot = workloads[side];
    if (!slot) {
        try {
            slot = std::make_unique<Workload>(side);
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

// The two roofs overlap only in part: a call takes the higher roof and
// OVERLAP of the lower one. Fitted to one run of every variant at every size
// on the development machine: 0 (the higher roof alone) put 58 % of the
// points within 15 % of their model, the sum 39 %, and 0.4 the most, 83 %.
constexpr double OVERLAP = 0.4;

double modelled_ms(double compute_ms, double limit_ms)
{
    return std::max(compute_ms, limit_ms) + OVERLAP * std::min(compute_ms, limit_ms);
}

// The first-level data cache of this processor, as Google Benchmark reads it.
size_t l1d_bytes()
{
    for (const auto& cache : benchmark::CPUInfo::Get().caches)
        if (cache.level == 1 && cache.type == "Data" && cache.size > 0)
            return size_t(cache.size);
    return 32 * 1024;
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
// it shows what reading each source row three times costs by itself.
void three_row_benchmark(benchmark::State& state, Mean4_stores stores, size_t side)
{
    Workload* const workload_of_side = workload(state, side);
    if (workload_of_side == nullptr)
        return;
    Workload& w = *workload_of_side;
    for (auto _ : state)
        state.SetIterationTime(
            seconds_taken([&] { three_row_pass(w.src, w.dst, w.side, w.side, stores); }));
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
    const auto s = static_cast<int32_t>(side);

    // Once per variant and size, before any timing: every word must be the
    // reference's. The sentinel exposes words the variant leaves unwritten.
    static std::set<std::pair<const Explore_variant*, size_t>> verified;
    if (verified.insert({&variant, side}).second) {
        std::fill_n(w.dst, w.pixels, 0xA5A5A5A5u);
        const int32_t status = variant.run(s, s, w.src, w.dst);
        const std::string difference =
            status == MEAN4_OK ? first_difference(variant, w)
                               : variant.name + " returned status " + std::to_string(status);
        if (!difference.empty()) {
            verified.erase({&variant, side});
            state.SkipWithError(difference.c_str());
            return;
        }
    }

    // On a shared machine the memory bandwidth drifts from second to second,
    // so the ratio pairs each timed call with an untimed pass of its limit.
    const Mean4_stores stores = variant.kernel->stores;
    std::vector<double> call_seconds, limit_seconds;
    for (auto _ : state) {
        limit_seconds.push_back(seconds_taken([&] { run_limit(stores, variant.cores, w); }));
        call_seconds.push_back(seconds_taken([&] { variant.run(s, s, w.src, w.dst); }));
        state.SetIterationTime(call_seconds.back());
    }
    set_counters(state, w);
    const double call_ms = median(call_seconds) * 1e3;
    const double limit_ms = median(limit_seconds) * 1e3;
    state.counters["limit_ms"] = limit_ms;
    state.counters["x_limit"] = call_ms / limit_ms;
    // The spread of the pairs: quartiles of each iteration's own ratio.
    std::vector<double> ratios;
    for (size_t i = 0; i < call_seconds.size(); ++i)
        ratios.push_back(call_seconds[i] / limit_seconds[i]);
    state.counters["x_limit_q1"] = quantile(ratios, 0.25);
    state.counters["x_limit_q3"] = quantile(ratios, 0.75);

    const Compute_cost cost = compute_cost(variant, l1d_bytes());
    const double compute_ms = cost.ns_per_pixel * double(w.pixels) * 1e-6;
    state.counters["compute_ns_per_pixel"] = cost.ns_per_pixel;
    if (cost.tsc_per_pixel > 0)
        state.counters["compute_tsc_per_pixel"] = cost.tsc_per_pixel;
    state.counters["compute_ms"] = compute_ms;
    const double model_ms = modelled_ms(compute_ms, limit_ms);
    state.counters["model_ms"] = model_ms;
    state.counters["x_model"] = call_ms / model_ms;
    // Counters hold numbers only: what bounds the point goes in the label.
    state.SetLabel("vs " + limit_name(stores, variant.cores) +
                   (compute_ms > limit_ms ? ", bound=compute" : ", bound=memory"));
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
        for (const Mean4_stores stores : {Mean4_stores::cached, Mean4_stores::streaming}) {
            const std::string name = limit_name(stores, Cores::one) + "_3rows";
            benchmark::RegisterBenchmark(benchmark_name(name, side).c_str(), three_row_benchmark,
                                         stores, side)
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
    register_benchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
