// mean4: times the neighbour-mean filter on a 9984 x 9984 image of random
// 7-bit pixels three ways (the scalar reference and two vector variants),
// prints one line per way with the milliseconds of ten calls, and checks that
// both vector results equal the reference word for word.
#include "benchmark.h"
#include "mean4_registry.h"

#ifdef _WIN32
// The Windows entry function takes the wide-character command line (built
// with -municode); the benchmark has no options and reads none of it.
int wmain(int, wchar_t**, wchar_t**)
#else
int main()
#endif
{
    return run_benchmark(mean4_benchmark_kernels());
}
