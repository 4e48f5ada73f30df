// Linux shows a riscv64 hart's identity in /proc/cpuinfo: the vendor's JEDEC
// code ("mvendorid : 0x5b7"), its architecture and implementation IDs
// ("marchid", "mimpid") and, where the kernel knows it, the core's name
// ("uarch : sifive,u74-mc"). Under qemu-user the file is the host's and
// names none of them.
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
    bool have_vendor = false;
    // The first hart's fields: the one the explorer starts on.
    while (std::fgets(line, sizeof line, cpuinfo) != nullptr && !(have_vendor && line[0] == '\n')) {
        unsigned long long value = 0;
        char text[128];
        if (std::sscanf(line, "mvendorid : %llx", &value) == 1) {
            std::snprintf(text, sizeof text, "0x%llx", value);
            facts.vendor = text;
            have_vendor = true;
        } else if (std::sscanf(line, "marchid : %llx", &value) == 1) {
            facts.model = int(value & 0x7fffffff);
        } else if (std::sscanf(line, "mimpid : %llx", &value) == 1) {
            facts.stepping = int(value & 0x7fffffff);
        } else if (std::sscanf(line, "uarch : %127s", text) == 1) {
            facts.name = text;
        }
    }
    std::fclose(cpuinfo);
    return facts;
}
