// Every repetition of a benchmark runs on a placement of its workload that
// no other repetition of it saw, so that each is a replicate of the whole
// measurement: where the buffers lie, in which cache sets and memory banks,
// would otherwise stay the same for a whole run and differ from the next
// run's, and no interval built from one run's repetitions could see it.
#include "benchmarks.h"

#include "all_cores.h"
#include "compute_roof.h"
#include "machine_state.h"
#include "mean4.h"
#include "mean4_compare.h"
#include "memory_limits.h"
#include "pairing.h"
#include "processor.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

// A placement of this side's workload that the benchmark `name` has not
// run on, its image made on first use; null, with the benchmark reported as
// an error, when there is no memory for it.
Workload* place_workload(benchmark::State& state, Session& session, size_t side,
                         const std::string& name)
{
    Session::Placement& placement = session.placements[side];
    if (placement.workload && placement.used_by.insert(name).second)
        return placement.workload.get();
    // The old one goes first: both at once may not fit.
    placement = {};
    try {
        auto& image = session.images[side];
        if (!image)
            image = std::make_unique<Image>(side);
        placement.workload =
            std::make_unique<Workload>(*image, session.huge_pages, session.placement);
    } catch (const std::bad_alloc&) {
        const std::string s = std::to_string(side);
        state.SkipWithError(("cannot allocate the " + s + " x " + s + " workload").c_str());
        return nullptr;
    }
    placement.used_by.insert(name);
    return placement.workload.get();
}

// Streaming stores leave the timed code before they reach memory, and the
// writes still queued slow whatever runs next. Every timed call and copy
// starts after a pause long enough for the one before's to drain, so that
// none pays for another. Without it a copy that followed a streaming call
// or copy paid more than the call, and on the smallest images streaming
// kernels seemed to beat their limit.
constexpr auto DRAIN = std::chrono::microseconds(2);

// The work's time in seconds, after the pause; the counters, where given,
// count the work alone, not the pause or the clock.
template <typename Work> double seconds_taken(Work&& work, Event_group* counters = nullptr)
{
    const auto drained = std::chrono::steady_clock::now() + DRAIN;
    while (std::chrono::steady_clock::now() < drained) {
    }
    if (counters != nullptr)
        counters->start();
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto end = std::chrono::steady_clock::now();
    if (counters != nullptr)
        counters->stop();
    return std::chrono::duration<double>(end - start).count();
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

// Once per variant and side, before any timing: every word must be the
// reference's. The sentinel exposes words the variant leaves unwritten.
// Empty if it passes; otherwise why not, with the first differing word, as
// the benchmark program reports it.
std::string verify_once(Session& session, const Explore_variant& variant, Workload& w)
{
    if (session.verified.count({&variant, w.side}) != 0)
        return "";
    const auto s = static_cast<int32_t>(w.side);
    std::fill_n(w.dst, w.pixels, 0xA5A5A5A5u);
    const int32_t status = variant.run(s, s, w.src, w.dst);
    if (status != MEAN4_OK)
        return variant.name + " returned status " + std::to_string(status);
    const Result_difference difference =
        compare_results(w.image.expected.data(), w.dst, w.side, w.side, nullptr);
    if (difference.differing_words != 0) {
        char text[256];
        format_difference(text, sizeof text, variant.name.c_str(), difference);
        return text;
    }
    session.verified.insert({&variant, w.side});
    return "";
}

// The copy a pair times at index c, with the variant's stores and cores.
Memory_copy paired_copy(size_t c, const Explore_variant& variant)
{
    return {c != 0, variant.kernel->stores, variant.cores, c == 2 ? size_t{2} : size_t{1}};
}

// One pair: the compute sample and the probes, then the call and the copies
// in the pair's order, the counters around the call alone.
Pair time_pair(size_t index, const Explore_variant& variant, Workload& w, Compute_band& band,
               Event_group& counters)
{
    Pair pair{};
    pair.order = pair_order(index);
    pair.compute = band.sample();
    pair.core_ghz = core_speed_ghz();
    pair.core_ghz_by_multiplies = core_speed_ghz_by_multiplies();
    pair.core_adds_per_ns = core_throughput_adds_per_ns();
    const auto s = static_cast<int32_t>(w.side);
    const auto time_call = [&] {
        pair.call_seconds = seconds_taken([&] { variant.run(s, s, w.src, w.dst); }, &counters);
    };
    const auto time_copies = [&] {
        for (size_t position = 0; position < PAIRED_COPIES; ++position) {
            const size_t c = copy_at(index, position);
            const Memory_copy copy = paired_copy(c, variant);
            pair.copy_seconds[c] = seconds_taken([&] { run_copy(copy, w); });
        }
    };
    if (pair.order == Pair_order::call_first) {
        time_call();
        time_copies();
    } else {
        time_copies();
        time_call();
    }
    return pair;
}

// What the machine did while a point was measured.
struct Point_record {
    double seconds = 0;
    double other_cpu_seconds = -1; // unknown
    double steal_seconds = 0;
    long context_switches = -1;   // unknown
    std::vector<double> software; // the software group's counts, as its names() say
    std::vector<double> hardware; // the hardware group's, over the timed calls alone
};

// Counts now less counts before, event by event.
std::vector<double> counted_since(const std::vector<double>& before, const Event_group& group)
{
    std::vector<double> counts = group.counts();
    for (size_t e = 0; e < counts.size() && e < before.size(); ++e)
        counts[e] -= before[e];
    return counts;
}

// Pairs until the repetition is done, in the one iteration Google Benchmark
// gives it, whose time is the median call's.
Pairing time_pairs(benchmark::State& state, Session& session, const Explore_variant& variant,
                   Workload& w, Point_record& record)
{
    const Mean4_kernel& kernel = *variant.kernel;
    const unsigned threads = variant.cores == Cores::all ? unsigned(omp_get_max_threads()) : 1;
    // A band of its own for each repetition too: nothing of one repetition
    // carries into the next.
    Compute_band band(cost_twin(kernel, session.kernels),
                      compute_band_width(w.side, l1d_bytes(session.caches)),
                      l1d_bytes(session.caches));
    Pairing pairing({w.side, threads, band.width(), pattern_copy(kernel.rows_per_pass)},
                    session.rule);
    Event_group& hardware =
        variant.cores == Cores::all ? *session.hardware_team : *session.hardware;
    const std::vector<double> hardware_before = hardware.counts();
    const Cpu_time cpu_before = system_cpu_time();
    const double own_before = own_cpu_seconds();
    const long switches_before = own_context_switches();
    const std::vector<double> software_before = session.software->counts();
    session.software->start();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        double elapsed = 0;
        do {
            pairing.add(time_pair(pairing.size(), variant, w, band, hardware));
            elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (!pairing.done(elapsed));
        record.seconds = elapsed;
        state.SetIterationTime(pairing.summary().call_ms.median * 1e-3);
    }
    session.software->stop();
    const Cpu_time cpu_after = system_cpu_time();
    if (cpu_before.known && cpu_after.known) {
        // Every processor's busy time less this process's own: what others ran.
        record.other_cpu_seconds =
            std::max(0.0, (cpu_after.busy_seconds - cpu_before.busy_seconds) -
                              (own_cpu_seconds() - own_before));
        record.steal_seconds = cpu_after.steal_seconds - cpu_before.steal_seconds;
    }
    if (switches_before >= 0)
        record.context_switches = own_context_switches() - switches_before;
    record.software = counted_since(software_before, *session.software);
    record.hardware = counted_since(hardware_before, hardware);
    return pairing;
}

// The record as counters: what others and the hypervisor took, the
// switches, and the events per pixel of the timed calls.
void report_record(benchmark::State& state, const Session& session, const Point_record& record,
                   const Explore_variant& variant, size_t pairs, size_t pixels)
{
    if (record.other_cpu_seconds >= 0) {
        state.counters["other_cpu_s"] = record.other_cpu_seconds;
        state.counters["steal_s"] = record.steal_seconds;
    }
    if (record.context_switches >= 0)
        state.counters["context_switches"] = double(record.context_switches);
    const std::vector<std::string>& software = session.software->names();
    for (size_t e = 0; e < record.software.size(); ++e)
        if (software[e] != "context_switches")
            state.counters[software[e]] = record.software[e];
    // The hardware group counted every call of the point, on every thread
    // the call ran on; per pixel of one call.
    const Event_group& hardware =
        variant.cores == Cores::all ? *session.hardware_team : *session.hardware;
    const double calls_pixels = double(pairs) * double(pixels);
    for (size_t e = 0; e < record.hardware.size(); ++e)
        state.counters[hardware.names()[e] + "_per_pixel"] = record.hardware[e] / calls_pixels;
}

// A median and its interval as three counters: name, name_lo, name_hi.
void report_interval(benchmark::State& state, const std::string& name,
                     const Median_interval& interval)
{
    state.counters[name] = interval.median;
    state.counters[name + "_lo"] = interval.low;
    state.counters[name + "_hi"] = interval.high;
}

// The repetition's figures as counters, and the variant's bound, limit copy
// and facts in its label.
void report_repetition(benchmark::State& state, const Explore_variant& variant,
                       const Repetition_summary& s)
{
    state.counters["limit_ms"] = s.limit_ms;
    report_interval(state, "x_limit", s.x_limit);
    state.counters["x_limit_q1"] = s.x_limit_q1;
    state.counters["x_limit_q3"] = s.x_limit_q3;
    state.counters["x_limit_call_first"] = s.x_limit_call_first;
    state.counters["x_limit_copies_first"] = s.x_limit_copies_first;
    report_interval(state, "call_ms", s.call_ms);
    state.counters["pairs"] = double(s.pairs);
    state.counters["x_limit_half_width"] = relative_half_width(s.x_limit);
    state.counters["stable"] = s.settled ? 1.0 : 0.0;
    const unsigned threads = variant.cores == Cores::all ? unsigned(omp_get_max_threads()) : 1;
    state.counters["compute_ns_per_pixel"] = s.compute.interior_ns_per_pixel / threads;
    if (tsc_hz() > 0)
        state.counters["compute_tsc_per_pixel"] =
            s.compute.interior_ns_per_pixel / threads * 1e-9 * tsc_hz();
    // The call's own share of the roof: its checks and the frame's edge rows
    // at the band's row length, which weigh most on the smallest images.
    state.counters["compute_call_us"] = s.compute_call_us;
    state.counters["compute_ms"] = s.roofs.compute_ms;
    state.counters["pattern_ms"] = s.roofs.pattern_ms;
    state.counters["model_ms"] = s.model.ms;
    report_interval(state, "x_model", s.x_model);
    state.counters["memory_over_compute"] = s.roofs.pattern_ms / s.roofs.compute_ms;
    state.counters["core_ghz"] = s.core_ghz;
    if (s.core_ghz_by_multiplies > 0)
        state.counters["core_ghz_by_multiplies"] = s.core_ghz_by_multiplies;
    state.counters["core_adds_per_ns"] = s.core_adds_per_ns;
    std::string label = "vs " + limit_name(variant.kernel->stores, variant.cores);
    state.SetLabel(label.append(", bound=")
                       .append(bound_name(s.model.bound))
                       .append(", limit_copy=")
                       .append(paired_copy_name(s.limit_copy))
                       .append(", ")
                       .append(variant_facts(variant)));
}

} // namespace

void copy_benchmark(benchmark::State& state, Session& session, Memory_copy copy, size_t side)
{
    Workload* const w = place_workload(state, session, side, copy_facts(copy));
    if (w == nullptr)
        return;
    for (auto _ : state)
        state.SetIterationTime(seconds_taken([&] { run_copy(copy, *w); }));
    set_counters(state, *w);
    state.SetLabel(copy_facts(copy));
}

void filter_benchmark(benchmark::State& state, Session& session, const Explore_variant& variant,
                      size_t side)
{
    if (!variant.supported()) {
        state.SkipWithError(
            (std::string("skipped: this processor lacks ") + variant.kernel->isa.name).c_str());
        return;
    }
    Workload* const w = place_workload(state, session, side, variant.name);
    if (w == nullptr)
        return;
    if (const std::string difference = verify_once(session, variant, *w); !difference.empty()) {
        state.SkipWithError(difference.c_str());
        return;
    }
    Point_record record;
    const Pairing pairing = time_pairs(state, session, variant, *w, record);
    const Repetition_summary summary = pairing.summary();
    set_counters(state, *w);
    report_repetition(state, variant, summary);
    report_record(state, session, record, variant, summary.pairs, w->pixels);
    session.notes.note({variant.name + "/" + std::to_string(side), record.seconds,
                        record.other_cpu_seconds, summary.core_ghz, summary.core_ghz_by_multiplies,
                        summary.core_adds_per_ns});
}

void dispatch_to_all_cores(benchmark::State& state)
{
    for (auto _ : state)
        for_each_band([](unsigned band, unsigned) { benchmark::DoNotOptimize(band); });
}
