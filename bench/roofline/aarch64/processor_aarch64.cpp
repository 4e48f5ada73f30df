// The processor from /proc/cpuinfo, and no time-stamp counter fine enough to
// count cycles by (processor.h).
#include "processor.h"

#include "machine_state.h"

Processor_facts this_processor()
{
    return parse_cpuinfo_aarch64(file_text("/proc/cpuinfo"));
}

double tsc_hz()
{
    return 0;
}
