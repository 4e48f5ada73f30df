// Every table's rows in one list, for those that loop over all of them: the
// explorer's variants and the registry's tests. In mean4_explorer_kernels,
// which the benchmark program does not link.
#include "mean4_registry.h"

std::vector<const Mean4_kernel*> mean4_every_kernel()
{
    std::vector<const Mean4_kernel*> kernels;
    for (const auto table : {mean4_benchmark_kernels(), mean4_explorer_kernels(),
                             mean4_library_kernels(), mean4_compiler_kernels()})
        for (const Mean4_kernel& kernel : table)
            kernels.push_back(&kernel);
    return kernels;
}
