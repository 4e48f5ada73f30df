#include "run_context.h"

#include "build_facts.h"
#include "mean4_registry.h"
#include "processor.h"
#include "tsc.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

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

void describe_processor()
{
    const Processor_facts processor = this_processor();
    add("processor_vendor", processor.vendor.empty() ? "unknown" : processor.vendor);
    add("processor_name", processor.name.empty() ? "unknown" : processor.name);
    add_number("processor_family", processor.family);
    add_number("processor_model", processor.model);
    add_number("processor_stepping", processor.stepping);
    add("processor_sets", supported_sets());
    add("virtual_machine", processor.virtual_machine);
    if (tsc_hz() > 0)
        add("tsc_hz", std::to_string(static_cast<long long>(tsc_hz())));
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
    describe_processor();
    add("build_commit", build_commit());
    add("build_compiler", build_compiler());
    add("build_type", build_type());
    if (const std::string library = mean4_library_description(); !library.empty())
        add("library", library);
    describe_caches();
}
