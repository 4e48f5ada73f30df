// The roofline explorer: every variant of the filter timed against the
// machine's memory limits, measured in the same run, plus a sweep over image
// sizes that shows where vectorisation pays and where memory decides.
//
// Each variant's result is checked against the reference on every word before
// it is timed; a variant the processor cannot run is reported as skipped,
// with the instruction set it lacks.
#include "band_pool.h"
#include "explore_variants.h"
#include "memory_limits.h"
#include "mean4.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr size_t FULL_SIDE = IMAGE_WIDTH;
// Square images from cache-resident to the benchmark's own.
constexpr size_t SWEEP_SIDES[] = {256, 512, 1024, 2048, 4096, FULL_SIDE};
// Each pixel is one byte read and one 32-bit word written.
constexpr size_t BYTES_PER_PIXEL = 5;

struct Free_deleter {
    void operator()(void* p) const
    {
        std::free(p);
    }
};

// A side x side image of 7-bit pixels as the benchmark makes them, a
// result buffer aligned for every kernel, and the reference result.
struct Workload {
    explicit Workload(size_t side_)
        : side(side_), pixels(side_ * side_), src(pixels),
          dst(static_cast<uint32_t*>(std::aligned_alloc(64, pixels * sizeof(uint32_t)))),
          expected(pixels)
    {
        if (!dst)
            throw std::bad_alloc();
        std::mt19937 rng(static_cast<uint32_t>(side));
        for (uint8_t& pixel : src)
            pixel = static_cast<uint8_t>(rng() & 0x7F);
        const auto s = static_cast<int32_t>(side);
        mean4_reference(s, s, src.data(), expected.data());
        // Fault the result's pages in now, not in the first timed call.
        std::memset(dst.get(), 0, pixels * sizeof(uint32_t));
    }

    size_t side;
    size_t pixels;
    std::vector<uint8_t> src;
    std::unique_ptr<uint32_t, Free_deleter> dst;
    std::vector<uint32_t> expected;
};

Workload& workload(size_t side)
{
    static std::map<size_t, std::unique_ptr<Workload>> workloads;
    auto& slot = workloads[side];
    if (!slot)
        slot = std::make_unique<Workload>(side);
    return *slot;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

template <typename Work>
double seconds_taken(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void run_limit(Mean4_stores stores, Cores cores, Workload& w)
{
    const bool streaming = stores == Mean4_stores::streaming;
    if (cores == Cores::one)
        limit_pass(w.src.data(), w.dst.get(), w.pixels, streaming);
    else
        limit_pass_all_cores(all_cores_pool(), w.src.data(), w.dst.get(), w.pixels, streaming);
}

void set_throughput(benchmark::State& state, size_t pixels)
{
    const auto per_iteration = static_cast<int64_t>(pixels);
    state.SetBytesProcessed(state.iterations() * per_iteration * int64_t(BYTES_PER_PIXEL));
    state.counters["pixels_per_second"] =
        benchmark::Counter(double(pixels), benchmark::Counter::kIsIterationInvariantRate);
}

void limit_benchmark(benchmark::State& state, Mean4_stores stores, Cores cores, size_t side)
{
    Workload& w = workload(side);
    for (auto _ : state)
        state.SetIterationTime(seconds_taken([&] { run_limit(stores, cores, w); }));
    set_throughput(state, w.pixels);
}

// The first differing word, or an empty string if the result is exact.
std::string first_difference(const Workload& w)
{
    const uint32_t* result = w.dst.get();
    for (size_t i = 0; i < w.pixels; ++i)
        if (result[i] != w.expected[i])
            return "differs from the reference at (x=" + std::to_string(i % w.side) +
                   ", y=" + std::to_string(i / w.side) + "): expected " +
                   std::to_string(w.expected[i]) + ", got " + std::to_string(result[i]);
    return "";
}

void filter_benchmark(benchmark::State& state, const Explore_variant& variant, size_t side)
{
    if (!variant.supported()) {
        state.SkipWithError(
            (std::string("skipped: this processor lacks ") + variant.kernel->isa->name).c_str());
        return;
    }
    Workload& w = workload(side);
    const auto s = static_cast<int32_t>(side);

    // Once per variant and size, before any timing: every word must be the
    // reference's. The sentinel exposes words the variant leaves unwritten.
    static std::set<std::pair<const Explore_variant*, size_t>> verified;
    if (verified.insert({&variant, side}).second) {
        std::fill_n(w.dst.get(), w.pixels, 0xA5A5A5A5u);
        const int32_t status = variant.run(s, s, w.src.data(), w.dst.get());
        const std::string difference =
            status == MEAN4_OK ? first_difference(w) : "returned status " + std::to_string(status);
        if (!difference.empty()) {
            verified.erase({&variant, side});
            state.SkipWithError((variant.name + " " + difference).c_str());
            return;
        }
    }

    // On a shared machine the memory bandwidth drifts from second to second,
    // so the ratio pairs each timed call with an untimed pass of its limit.
    const Mean4_stores stores = variant.kernel->stores;
    std::vector<double> call_seconds, limit_seconds;
    for (auto _ : state) {
        limit_seconds.push_back(seconds_taken([&] { run_limit(stores, variant.cores, w); }));
        call_seconds.push_back(
            seconds_taken([&] { variant.run(s, s, w.src.data(), w.dst.get()); }));
        state.SetIterationTime(call_seconds.back());
    }
    set_throughput(state, w.pixels);
    state.counters["limit_ms"] = median(limit_seconds) * 1e3;
    state.counters["x_limit"] = median(call_seconds) / median(limit_seconds);
    state.SetLabel("vs " + limit_name(stores, variant.cores));
}

// What the pool saves: handing an empty job to every core, through the pool
// and through threads created and joined per call.
void dispatch_through_pool(benchmark::State& state)
{
    Band_pool& pool = all_cores_pool();
    for (auto _ : state)
        pool.run([](unsigned) {});
}

void dispatch_through_new_threads(benchmark::State& state)
{
    const unsigned bands = all_cores_pool().bands();
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (unsigned band = 1; band < bands; ++band)
            threads.emplace_back([] {});
        for (std::thread& thread : threads)
            thread.join();
    }
}

// "group/name", or "group/name/side" for the sweep. Built by appending:
// GCC 12 warns falsely about chains of std::string operator+.
std::string benchmark_name(const char* group, const std::string& name, size_t side = 0)
{
    std::string full = group;
    full.append("/").append(name);
    if (side != 0)
        full.append("/").append(std::to_string(side));
    return full;
}

void register_benchmarks()
{
    constexpr Mean4_stores store_kinds[] = {Mean4_stores::cached, Mean4_stores::streaming};
    for (const Cores cores : {Cores::one, Cores::all})
        for (const Mean4_stores stores : store_kinds)
            benchmark::RegisterBenchmark(benchmark_name("full", limit_name(stores, cores)).c_str(),
                                         limit_benchmark, stores, cores, FULL_SIDE)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
    for (const Explore_variant& variant : explore_variants())
        benchmark::RegisterBenchmark(benchmark_name("full", variant.name).c_str(),
                                     filter_benchmark, std::cref(variant), FULL_SIDE)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);

    benchmark::RegisterBenchmark("threads/dispatch_pool", dispatch_through_pool)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("threads/dispatch_new_threads", dispatch_through_new_threads)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);

    const std::vector<const Explore_variant*> swept = sweep_variants();
    for (const size_t side : SWEEP_SIDES) {
        for (const Mean4_stores stores : store_kinds)
            benchmark::RegisterBenchmark(
                benchmark_name("sweep", limit_name(stores, Cores::one), side).c_str(),
                limit_benchmark, stores, Cores::one, side)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        for (const Explore_variant* variant : swept)
            benchmark::RegisterBenchmark(benchmark_name("sweep", variant->name, side).c_str(),
                                         filter_benchmark, std::cref(*variant), side)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    register_benchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
