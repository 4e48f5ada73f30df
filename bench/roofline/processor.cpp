#include "processor.h"

#include "mean4_registry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

std::string supported_sets()
{
    std::string sets;
    for (const Mean4_isa* isa : mean4_instruction_sets())
        if (isa->supported())
            sets.append(sets.empty() ? "" : " ").append(isa->name);
    return sets;
}

namespace {

// Each "key : value" line of the first block of a /proc/cpuinfo's text (the
// first processor's; every core of a big.LITTLE pair is listed, and the
// first is the one the explorer starts on), given to `take`.
template <typename Take> void first_block(const std::string& text, Take&& take)
{
    size_t at = 0;
    bool any = false;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            if (any && line.find_first_not_of(" \t\r") == std::string::npos)
                return; // the blank line after the first block
            continue;
        }
        const auto trimmed = [](std::string part) {
            const size_t first = part.find_first_not_of(" \t");
            const size_t last = part.find_last_not_of(" \t\r");
            return first == std::string::npos ? std::string()
                                              : part.substr(first, last - first + 1);
        };
        take(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
        any = true;
    }
}

// A number as /proc/cpuinfo writes it, "0x41" or "3"; -1 where it is none.
long long number(const std::string& text)
{
    if (text.empty())
        return -1;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    return end != nullptr && *end == '\0' ? static_cast<long long>(value) : -1;
}

std::string hex(long long value, int digits)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

} // namespace

Processor_facts parse_cpuinfo_aarch64(const std::string& text)
{
    Processor_facts facts;
    facts.virtual_machine = "unknown";
    long long implementer = -1, part = -1;
    first_block(text, [&](const std::string& key, const std::string& value) {
        if (key == "CPU implementer")
            implementer = number(value);
        else if (key == "CPU variant")
            facts.family = number(value);
        else if (key == "CPU part")
            part = number(value);
        else if (key == "CPU revision")
            facts.stepping = number(value);
    });
    if (implementer >= 0 && part >= 0) {
        facts.vendor = hex(implementer, 2);
        facts.name = "implementer " + hex(implementer, 2) + ", part " + hex(part, 3);
        facts.model = part;
    }
    return facts;
}

Processor_facts parse_cpuinfo_riscv64(const std::string& text)
{
    Processor_facts facts;
    facts.virtual_machine = "unknown";
    first_block(text, [&](const std::string& key, const std::string& value) {
        if (key == "mvendorid" && number(value) >= 0)
            facts.vendor = hex(number(value), 1);
        else if (key == "marchid")
            facts.model = static_cast<long long>(std::strtoull(value.c_str(), nullptr, 0));
        else if (key == "mimpid")
            facts.stepping = static_cast<long long>(std::strtoull(value.c_str(), nullptr, 0));
        else if (key == "uarch")
            facts.name = value;
    });
    return facts;
}
