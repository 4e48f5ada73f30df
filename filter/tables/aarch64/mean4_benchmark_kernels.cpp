// The AArch64 benchmark program's variants as registry rows, in the order it
// runs them: the reference, NEON and, where the processor has it, SVE. NEON
// and SVE are also mean4_vector's narrow and wide variants (mean4_vector.cpp).
#include "kernels/mean4_kernels.h"
#include "mean4.h"
#include "mean4_registry.h"

namespace {

constexpr Mean4_kernel BENCHMARK_KERNELS[] = {
    {.name = "scalar",
     .whole_image = mean4_reference,
     .isa = MEAN4_BASELINE,
     .flow = Mean4_flow::reference,
     .report_label = "C++",
     .report_format = "C++:  %d\n"},
    {.name = "neon",
     .rows = mean4_rows_neon,
     .isa = MEAN4_BASELINE,
     .report_label = "NEON",
     .report_format = "NEON: %d\n"},
    // Many AArch64 processors have no SVE: there the program leaves this
    // variant out, says so, and measures the other two.
    {.name = "sve",
     .rows = mean4_rows_sve,
     .isa = MEAN4_SVE,
     .edges = Mean4_edges::repaired_by_frame,
     .report_label = "SVE",
     .report_format = "SVE:  %d\n",
     .report_optional = true},
};
MEAN4_ASSERT_WELL_FORMED(BENCHMARK_KERNELS);

} // namespace

std::span<const Mean4_kernel> mean4_benchmark_kernels()
{
    return BENCHMARK_KERNELS;
}
