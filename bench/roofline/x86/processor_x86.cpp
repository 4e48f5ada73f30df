#include "processor.h"

#include <chrono>
#include <cpuid.h>
#include <cstdint>
#include <cstring>
#include <x86intrin.h>

Processor_facts this_processor()
{
    Processor_facts facts;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0)
        return facts;
    char vendor[13] = {};
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    facts.vendor = vendor;

    __get_cpuid(1, &eax, &ebx, &ecx, &edx);
    const unsigned base_family = (eax >> 8) & 0xF;
    unsigned family = base_family, model = (eax >> 4) & 0xF;
    if (base_family == 0xF)
        family += (eax >> 20) & 0xFF;
    if (base_family == 0x6 || base_family == 0xF)
        model += ((eax >> 16) & 0xF) << 4;
    facts.family = family;
    facts.model = model;
    facts.stepping = eax & 0xF;
    // The bit every hypervisor sets for its guests and no processor sets.
    facts.virtual_machine = (ecx >> 31) & 1 ? "yes" : "no";

    unsigned brand[12] = {};
    if (__get_cpuid(0x80000004, &eax, &ebx, &ecx, &edx) != 0)
        for (unsigned leaf = 0; leaf < 3; ++leaf)
            __get_cpuid(0x80000002 + leaf, &brand[4 * leaf], &brand[4 * leaf + 1],
                        &brand[4 * leaf + 2], &brand[4 * leaf + 3]);
    char name[sizeof brand + 1] = {};
    std::memcpy(name, brand, sizeof brand);
    facts.name = name;
    // Some processors pad the brand string with spaces on either side.
    facts.name.erase(0, facts.name.find_first_not_of(' '));
    facts.name.erase(facts.name.find_last_not_of(' ') + 1);
    return facts;
}

double tsc_hz()
{
    // 50 ms against the steady clock, once: the TSC's rate is fixed (every
    // processor with AVX2 has an invariant TSC), so one reading serves the run.
    static const double hz = [] {
        using clock = std::chrono::steady_clock;
        const auto start = clock::now();
        const uint64_t first = __rdtsc();
        while (clock::now() - start < std::chrono::milliseconds(50)) {
        }
        const uint64_t last = __rdtsc();
        const double seconds = std::chrono::duration<double>(clock::now() - start).count();
        return double(last - first) / seconds;
    }();
    return hz;
}
