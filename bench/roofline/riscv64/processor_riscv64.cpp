// The processor from /proc/cpuinfo (under qemu-user the file is the host's
// and names none of a hart's fields), and no time-stamp counter fine enough
// to count cycles by (processor.h).
#include "processor.h"

#include "machine_state.h"

Processor_facts this_processor()
{
    return parse_cpuinfo_riscv64(file_text("/proc/cpuinfo"));
}

double tsc_hz()
{
    return 0;
}
