// Every table's rows in one list, for those that loop over all of them: the
// explorer's variants and the registry's tests; and the architecture's sets.
// In mean4_explorer_kernels, which the benchmark program does not link.
#include "kernels/mean4_kernels.h"
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

std::span<const Mean4_isa* const> mean4_instruction_sets()
{
    return MEAN4_SETS;
}
