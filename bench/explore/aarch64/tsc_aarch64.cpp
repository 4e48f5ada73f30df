// AArch64's generic timer ticks at tens of megahertz, too coarse to count a
// kernel's cycles by: the explorer reports nanoseconds only.
#include "tsc.h"

double tsc_hz()
{
    return 0;
}
