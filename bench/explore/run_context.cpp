#include "run_context.h"

#include "build_facts.h"
#include "machine_state.h"
#include "mean4_registry.h"
#include "processor.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>

extern char** environ;

namespace {

void add(const char* key, const std::string& value)
{
    benchmark::AddCustomContext(key, value);
}

// An unknown number as the context gives it: not at all.
void add_number(const char* key, long long value)
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

// A number as the context writes it: "0.05", "2", "1".
std::string number(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
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

// Opens the session's event counters, and says which each point reads, and
// why not where it cannot.
void describe_counters(Session& session, bool virtual_machine)
{
    session.hardware = std::make_unique<Event_group>(Event_kind::hardware, virtual_machine);
    session.hardware_team =
        std::make_unique<Event_group>(Event_kind::hardware, virtual_machine, Event_threads::team);
    session.software = std::make_unique<Event_group>(Event_kind::software, virtual_machine);
    add("hardware_counters", counted_events(*session.hardware));
    if (!session.hardware->available())
        warn("no cycles or instructions per pixel: " + session.hardware->why_not());
    else if (!session.hardware_team->available())
        warn("no cycles or instructions per pixel on all cores: " +
             session.hardware_team->why_not());
    add("software_counters", counted_events(*session.software));
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
void describe_caches(const std::vector<Cache_fact>& caches)
{
    const bool l1d_known = std::any_of(caches.begin(), caches.end(), [](const Cache_fact& c) {
        return cache_name(c) == "L1d" && c.reason_not_used.empty();
    });
    if (!l1d_known)
        add("cache_L1d", std::to_string(l1d_bytes(caches)) + " bytes, assumed: none reported");
    for (const Cache_fact& cache : caches) {
        std::string text = std::to_string(cache.bytes) + " bytes, from " + cache.source;
        if (!cache.reason_not_used.empty())
            text.append("; not used: ").append(cache.reason_not_used);
        std::string key = "cache_";
        add(key.append(cache_name(cache)).c_str(), text);
    }
}

} // namespace

std::vector<Cache_fact> find_caches()
{
    std::vector<Cache_fact> from_benchmark;
    for (const auto& cache : benchmark::CPUInfo::Get().caches)
        from_benchmark.push_back(
            {cache.level, cache.type, size_t(std::max(0, cache.size)), "google-benchmark", ""});
    return choose_caches(from_benchmark, operating_system_caches(), memory_bytes());
}

void describe_run(Session& session)
{
    add("mean4_json_version", std::to_string(JSON_VERSION));
    add("mean4_method", std::to_string(MEAN4_METHOD));
    add("limit_definition", LIMIT_DEFINITION);
    const Stopping_rule& rule = session.rule;
    add("stopping_rule", "each repetition of a point: at least " + std::to_string(rule.min_rounds) +
                             " rounds of two pairs and " + number(rule.min_seconds) +
                             " s, then until the 95 % interval of its rounds' median x_limit "
                             "is within " +
                             number(rule.tolerance * 100) + " %, or for " +
                             number(rule.budget_seconds) + " s");
    add("settled_within", number(rule.tolerance));
    describe_counters(session, describe_processor());
    describe_setup();
    add("build_commit", build_commit());
    add("build_compiler", build_compiler());
    add("build_type", build_type());
    if (std::string(build_type()) == "Debug")
        warn("the explorer is a Debug build: its kernels' figures say little");
    if (const std::string library = mean4_library_description(); !library.empty())
        add("library", library);
    describe_caches(session.caches);
}

void warn_of_the_run(const Session& session)
{
    for (const std::string& line : session.notes.warnings())
        warn(line);
}
