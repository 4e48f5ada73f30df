// Linux shows the main ID register's fields in /proc/cpuinfo ("CPU
// implementer : 0x41"). Its "model name", where there is one, is not the
// processor's: under an emulator it is the host's.
#include "processor.h"

#include <cstdio>
#include <cstring>

Processor_facts this_processor()
{
    Processor_facts facts;
    facts.virtual_machine = "unknown";
    FILE* cpuinfo = std::fopen("/proc/cpuinfo", "r");
    if (cpuinfo == nullptr)
        return facts;
    char line[256];
    unsigned implementer = 0, part = 0;
    bool have_implementer = false, have_part = false;
    // The first processor's fields; every core of a big.LITTLE pair is
    // listed, and the first is the one the explorer starts on.
    while (std::fgets(line, sizeof line, cpuinfo) != nullptr && !(have_part && line[0] == '\n')) {
        unsigned value = 0;
        if (std::sscanf(line, "CPU implementer : %x", &value) == 1) {
            implementer = value;
            have_implementer = true;
        } else if (std::sscanf(line, "CPU variant : %x", &value) == 1) {
            facts.family = int(value);
        } else if (std::sscanf(line, "CPU part : %x", &value) == 1) {
            part = value;
            have_part = true;
        } else if (std::sscanf(line, "CPU revision : %u", &value) == 1) {
            facts.stepping = int(value);
        }
    }
    std::fclose(cpuinfo);
    if (have_implementer && have_part) {
        char text[64];
        std::snprintf(text, sizeof text, "0x%02x", implementer);
        facts.vendor = text;
        std::snprintf(text, sizeof text, "implementer 0x%02x, part 0x%03x", implementer, part);
        facts.name = text;
        facts.model = int(part);
    }
    return facts;
}
