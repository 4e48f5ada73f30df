#include "run_context.h"

#include "benchmarks.h"
#include "build_facts.h"
#include "machine_state.h"
#include "mean4_registry.h"
#include "processor.h"
#include "tsc.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/stat.h>

extern char** environ;

namespace {

void add(const char* key, const std::string& value)
{
    benchmark::AddCustomContext(key, value);
}

// An unknown number as the context gives it: not at all.
void add_number(const char* key, int value)
{
    if (value >= 0)
        add(key, std::to_string(value));
}

// One line on stderr for a condition that makes figures less reliable: a
// warning, never a refusal.
void warn(const std::string& what)
{
    std::fprintf(stderr, "mean4_explore: %s\n", what.c_str());
}

bool exists(const char* path)
{
    struct stat status;
    return stat(path, &status) == 0;
}

// How the operating system runs the processors, and what may steer the
// all-core variants' threads.
void describe_setup()
{
    const std::string governor =
        first_line("/sys/devices/system/cpu/cpu0/cpufreq/scaling_governor");
    add("cpu_governor", governor.empty() ? "unknown: no cpufreq" : governor);
    if (!governor.empty() && governor != "performance")
        warn("the frequency governor is " + governor +
             ", not performance: the core's clock may change under the timing");
    const std::string boost =
        boost_state(first_line("/sys/devices/system/cpu/cpufreq/boost"),
                    first_line("/sys/devices/system/cpu/intel_pstate/no_turbo"));
    add("cpu_boost", boost.empty() ? "unknown" : boost);
    if (boost == "on")
        warn("boost is on: the core's clock follows its temperature and its neighbours' load");
    const std::string huge_pages = first_line("/sys/kernel/mm/transparent_hugepage/enabled");
    add("transparent_huge_pages", huge_pages.empty() ? "unknown" : bracketed_choice(huge_pages));
    std::string cgroup = first_line("/proc/1/cgroup");
    add("container", container_kind(exists("/.dockerenv"), exists("/run/.containerenv"), cgroup));
    const std::string omp = omp_variables(environ);
    add("omp_environment", omp.empty() ? "none" : omp);
}

// "cycles instructions ...", or "none: " and why not.
std::string counted_events(const Event_group& group)
{
    if (!group.available())
        return "none: " + group.why_not();
    std::string names;
    for (const std::string& name : group.names())
        names.append(names.empty() ? "" : " ").append(name);
    return names;
}

// Which event counters each point reads, and why not where it cannot.
void describe_counters()
{
    add("hardware_counters", counted_events(hardware_counters()));
    if (!hardware_counters().available())
        warn("no cycles or instructions per pixel: " + hardware_counters().why_not());
    add("software_counters", counted_events(software_counters()));
}

// Whether this is a virtual machine, for the counters' reasons.
bool describe_processor()
{
    const Processor_facts processor = this_processor();
    if (processor.virtual_machine == "yes")
        warn("this is a virtual machine: its figures move with what the host's other guests do");
    add("processor_vendor", processor.vendor.empty() ? "unknown" : processor.vendor);
    add("processor_name", processor.name.empty() ? "unknown" : processor.name);
    add_number("processor_family", processor.family);
    add_number("processor_model", processor.model);
    add_number("processor_stepping", processor.stepping);
    add("processor_sets", supported_sets());
    add("virtual_machine", processor.virtual_machine);
    if (tsc_hz() > 0)
        add("tsc_hz", std::to_string(static_cast<long long>(tsc_hz())));
    return processor.virtual_machine == "yes";
}

// Each cache: "49152 bytes, from sysconf", and for a size the explorer does
// not use, why. Where no first-level data cache is known, the size the
// compute roofs assume instead.
void describe_caches()
{
    const bool l1d_known = std::any_of(caches().begin(), caches().end(), [](const Cache_fact& c) {
        return cache_name(c) == "L1d" && c.reason_not_used.empty();
    });
    if (!l1d_known)
        add("cache_L1d", std::to_string(l1d_bytes(caches())) + " bytes, assumed: none reported");
    for (const Cache_fact& cache : caches()) {
        std::string text = std::to_string(cache.bytes) + " bytes, from " + cache.source;
        if (!cache.reason_not_used.empty())
            text.append("; not used: ").append(cache.reason_not_used);
        std::string key = "cache_";
        add(key.append(cache_name(cache)).c_str(), text);
    }
}

} // namespace

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

void describe_run()
{
    add("mean4_json_version", std::to_string(JSON_VERSION));
    add("limit_definition", LIMIT_DEFINITION);
    const Stopping_rule& rule = point_budget();
    char text[240];
    std::snprintf(text, sizeof text,
                  "at least %zu pairs and %g s, then until the 95 %% interval of the median "
                  "x_limit is within %g %%, or %g s; up to %g s while the interval would "
                  "reach it by then",
                  rule.min_pairs, rule.min_seconds, rule.tolerance * 100, rule.budget_seconds,
                  rule.budget_seconds * rule.stretch);
    add("stopping_rule", text);
    open_event_counters(describe_processor());
    describe_setup();
    describe_counters();
    add("build_commit", build_commit());
    add("build_compiler", build_compiler());
    add("build_type", build_type());
    if (std::string(build_type()) == "Debug")
        warn("the explorer is a Debug build: its kernels' figures say little");
    if (const std::string library = mean4_library_description(); !library.empty())
        add("library", library);
    describe_caches();
}

void warn_of_the_run()
{
    const Busy_points& busy = busy_points();
    if (busy.count != 0)
        warn("other processes kept a processor busy during " + std::to_string(busy.count) +
             " points (the first: " + busy.first + "); each point's other_cpu_s says how long");
    // A quiet core's probe moves a few percent from point to point with its
    // clock; another thread on the core takes about a quarter.
    const Core_share& share = core_share();
    if (share.most > 0 && share.least < 0.9 * share.most) {
        char text[500];
        std::snprintf(text, sizeof text,
                      "the core's throughput for this thread ranged from %.1f (%s) to %.1f (%s) "
                      "additions a nanosecond across the points, its clock from %.2f to %.2f GHz: "
                      "throughput that falls while the clock holds is what another hardware thread "
                      "on the same physical core causes, and throughput-bound points slow with it; "
                      "each point's core_adds_per_ns says which",
                      share.least, share.least_at.c_str(), share.most, share.most_at.c_str(),
                      share.slowest_ghz, share.fastest_ghz);
        warn(text);
    }
}
