#include "benchmarks.h"

#include "all_cores.h"
#include "compute_roof.h"
#include "event_counters.h"
#include "machine_state.h"
#include "mean4.h"
#include "memory_limits.h"
#include "roof_model.h"
#include "run_context.h"
#include "statistics.h"
#include "tsc.h"
#include "verify.h"
#include "workload.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

bool g_huge_pages = false;
bool g_virtual_machine = false;

// The copies a variant's limit is the fastest of, each with its stores and
// cores: the widening copy one row at a time, and the pattern copies, three
// rows and in row pairs, which move the same bytes through memory.
constexpr const char* COPY_NAMES[] = {"limit", "three_rows", "row_pairs"};
constexpr size_t COPIES = std::size(COPY_NAMES);

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

// Streaming stores leave the timed code before they reach memory, and the
// writes still queued slow whatever runs next. Every timed call and copy
// starts after a pause long enough for the one before's to drain, so that
// none pays for another. Without it the copies, which follow a streaming
// call or copy, paid more than the call, which follows the compute sample,
// and on the smallest images streaming kernels seemed to beat their limit.
constexpr auto DRAIN = std::chrono::microseconds(2);

template <typename Work> double seconds_taken(Work&& work)
{
    const auto drained = std::chrono::steady_clock::now() + DRAIN;
    while (std::chrono::steady_clock::now() < drained) {
    }
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

Memory_copy copy_of(size_t index, const Explore_variant& variant)
{
    return {index != 0, variant.kernel->stores, variant.cores, index == 2 ? size_t{2} : size_t{1}};
}

// What every pair measures: the call and, untimed beside it, each copy and a
// sample of the compute roof, in seconds; and the row length of the band
// the compute samples came from.
struct Paired_samples {
    std::vector<double> call, interior_ns_per_pixel, call_ns, core_ghz, core_adds_per_ns;
    std::vector<double> copies[COPIES];
    size_t band_width = 0;

    size_t fastest_copy() const
    {
        size_t best = 0;
        for (size_t c = 1; c < COPIES; ++c)
            if (median(copies[c]) < median(copies[best]))
                best = c;
        return best;
    }
    std::vector<double> x_limit() const
    {
        const std::vector<double>& limit = copies[fastest_copy()];
        std::vector<double> ratios;
        for (size_t i = 0; i < call.size(); ++i)
            ratios.push_back(call[i] / limit[i]);
        return ratios;
    }
};

Stopping_rule g_budget;

// What the machine did while a point was measured.
struct Point_record {
    double seconds = 0;
    double other_cpu_seconds = 0, steal_seconds = 0;
    bool cpu_known = false;
    long context_switches = 0;
    std::vector<double> software; // the software group's counts, as its names() say
};

std::unique_ptr<Event_group> g_hardware, g_software;
Busy_points g_busy;
Core_share g_core_share;

// Pairs until the point has settled or spent its budget, in the one
// iteration Google Benchmark gives it, whose time is the median call's.
Paired_samples time_pairs(benchmark::State& state, const Explore_variant& variant, Workload& w,
                          Point_record& record)
{
    const auto s = static_cast<int32_t>(w.side);
    Compute_band& band = compute_band(cost_twin(*variant.kernel), w.side);
    Paired_samples samples;
    samples.band_width = band.width();
    const Cpu_time cpu_before = system_cpu_time();
    const double own_before = own_cpu_seconds();
    const long switches_before = own_context_switches();
    const std::vector<double> software_before = g_software->counts();
    g_software->start();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        size_t next_check = g_budget.min_pairs;
        bool past_budget = false;
        for (;;) {
            for (size_t c = 0; c < COPIES; ++c) {
                const Memory_copy copy = copy_of(c, variant);
                samples.copies[c].push_back(seconds_taken([&] { run_copy(copy, w); }));
            }
            const Compute_sample compute = band.sample();
            samples.interior_ns_per_pixel.push_back(compute.interior_ns_per_pixel);
            samples.call_ns.push_back(compute.call_ns);
            samples.core_ghz.push_back(core_speed_ghz());
            samples.core_adds_per_ns.push_back(core_throughput_adds_per_ns());
            g_hardware->start();
            samples.call.push_back(seconds_taken([&] { variant.run(s, s, w.src, w.dst); }));
            g_hardware->stop();
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (elapsed >= g_budget.budget_seconds * g_budget.stretch)
                break;
            // Sorting every pair's samples would cost more than the pairs on
            // the smallest images: look again after an eighth more, and
            // once the budget is spent, to decide whether to stretch it.
            const bool budget_just_spent = elapsed >= g_budget.budget_seconds && !past_budget;
            if (samples.call.size() >= next_check || budget_just_spent) {
                if (point_done(samples.x_limit(), elapsed, g_budget))
                    break;
                past_budget = elapsed >= g_budget.budget_seconds;
                next_check = samples.call.size() + std::max<size_t>(1, samples.call.size() / 8);
            }
        }
        state.SetIterationTime(median(samples.call));
        record.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    g_software->stop();
    const Cpu_time cpu_after = system_cpu_time();
    record.cpu_known = cpu_before.known && cpu_after.known;
    // Every processor's busy time less this process's own: what others ran.
    record.other_cpu_seconds = std::max(0.0, (cpu_after.busy_seconds - cpu_before.busy_seconds) -
                                                 (own_cpu_seconds() - own_before));
    record.steal_seconds = cpu_after.steal_seconds - cpu_before.steal_seconds;
    record.context_switches = own_context_switches() - switches_before;
    record.software = g_software->counts();
    for (size_t e = 0; e < record.software.size(); ++e)
        record.software[e] -= software_before[e];
    return samples;
}

// The record as counters: what others and the hypervisor took, the
// switches, the core's speed, and the events per pixel of the timed calls.
void report_record(benchmark::State& state, const Point_record& record,
                   const Paired_samples& samples, size_t pixels)
{
    if (record.cpu_known) {
        state.counters["other_cpu_s"] = record.other_cpu_seconds;
        state.counters["steal_s"] = record.steal_seconds;
    }
    state.counters["context_switches"] = double(record.context_switches);
    for (size_t e = 0; e < record.software.size(); ++e)
        if (g_software->names()[e] != "context_switches")
            state.counters[g_software->names()[e]] = record.software[e];
    state.counters["core_ghz"] = median(samples.core_ghz);
    state.counters["core_adds_per_ns"] = median(samples.core_adds_per_ns);
    // The hardware group counts every call of the point; per pixel of one.
    const std::vector<double> counts = g_hardware->counts();
    const double calls_pixels = double(samples.call.size()) * double(pixels);
    for (size_t e = 0; e < counts.size(); ++e)
        state.counters[g_hardware->names()[e] + "_per_pixel"] = counts[e] / calls_pixels;
}

// A median and its interval as three counters: name, name_lo, name_hi.
void report_interval(benchmark::State& state, const std::string& name,
                     const std::vector<double>& samples, double scale = 1)
{
    const Median_interval interval = median_interval(samples);
    state.counters[name] = interval.median * scale;
    state.counters[name + "_lo"] = interval.low * scale;
    state.counters[name + "_hi"] = interval.high * scale;
}

// The pairs' medians with their intervals, the roofs and the model as
// counters, and the variant's bound, limit copy and facts in its label.
void report_pairs(benchmark::State& state, const Explore_variant& variant, size_t side,
                  const Paired_samples& samples)
{
    const size_t limit_copy = samples.fastest_copy();
    const std::vector<double> x_limit = samples.x_limit();
    state.counters["limit_ms"] = median(samples.copies[limit_copy]) * 1e3;
    report_interval(state, "x_limit", x_limit);
    state.counters["x_limit_q1"] = quantile(x_limit, 0.25);
    state.counters["x_limit_q3"] = quantile(x_limit, 0.75);
    report_interval(state, "call_ms", samples.call, 1e3);
    state.counters["pairs"] = double(samples.call.size());
    const double half_width = relative_half_width(median_interval(x_limit));
    state.counters["x_limit_half_width"] = half_width;
    state.counters["stable"] = settled(x_limit, g_budget.min_pairs, g_budget.tolerance) ? 1.0 : 0.0;

    const unsigned threads = variant.cores == Cores::all ? unsigned(omp_get_max_threads()) : 1;
    const std::vector<double>& pattern = samples.copies[variant.kernel->rows_per_pass == 2 ? 2 : 1];
    std::vector<double> x_model;
    for (size_t i = 0; i < samples.call.size(); ++i) {
        const Compute_sample compute{samples.interior_ns_per_pixel[i], samples.call_ns[i]};
        const Roofs roofs{compute_ms(compute, samples.band_width, side, threads), pattern[i] * 1e3};
        x_model.push_back(samples.call[i] * 1e3 / model_time(roofs).ms);
    }
    const Compute_sample compute{median(samples.interior_ns_per_pixel), median(samples.call_ns)};
    const Roofs roofs{compute_ms(compute, samples.band_width, side, threads),
                      median(pattern) * 1e3};
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
    report_interval(state, "x_model", x_model);
    state.counters["memory_over_compute"] = roofs.pattern_ms / roofs.compute_ms;
    std::string label = "vs " + limit_name(variant.kernel->stores, variant.cores);
    state.SetLabel(label.append(", bound=")
                       .append(bound_name(model.bound))
                       .append(", limit_copy=")
                       .append(COPY_NAMES[limit_copy])
                       .append(", ")
                       .append(variant_facts(variant)));
}

} // namespace

void back_workloads_with_huge_pages()
{
    g_huge_pages = true;
}

void open_event_counters(bool virtual_machine)
{
    g_virtual_machine = virtual_machine;
    g_hardware = std::make_unique<Event_group>(Event_kind::hardware, virtual_machine);
    g_software = std::make_unique<Event_group>(Event_kind::software, virtual_machine);
}

const Event_group& hardware_counters()
{
    return *g_hardware;
}

const Event_group& software_counters()
{
    return *g_software;
}

const Busy_points& busy_points()
{
    return g_busy;
}

const Core_share& core_share()
{
    return g_core_share;
}

void set_point_budget(const Stopping_rule& rule)
{
    g_budget = rule;
}

const Stopping_rule& point_budget()
{
    return g_budget;
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
    Point_record record;
    // The hardware group counts the point's calls alone: from zero.
    g_hardware = std::make_unique<Event_group>(Event_kind::hardware, g_virtual_machine);
    const Paired_samples samples = time_pairs(state, variant, w, record);
    set_counters(state, w);
    report_pairs(state, variant, side, samples);
    report_record(state, record, samples, w.pixels);
    // Another process that kept a processor busy for a tenth of the point.
    const std::string point = variant.name + "/" + std::to_string(side);
    if (record.cpu_known && record.other_cpu_seconds > 0.1 * record.seconds)
        g_busy.note(point);
    g_core_share.note(point, median(samples.core_adds_per_ns), median(samples.core_ghz));
}

void dispatch_to_all_cores(benchmark::State& state)
{
    for (auto _ : state)
        for_each_band([](unsigned band, unsigned) { benchmark::DoNotOptimize(band); });
}
