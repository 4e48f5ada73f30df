// The riscv64 benchmark program's variants as registry rows, in the order it
// runs them: the reference and, where the processor has the vector
// extension, RVV. RVV's one kernel runs at whatever vector length the
// processor has, so it is both mean4_vector's narrow and its wide variant
// (mean4_vector.cpp).
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
    // Many riscv64 processors have no vector extension: there the program
    // leaves this variant out, says so, and measures the reference.
    {.name = "rvv",
     .rows = mean4_rows_rvv,
     .isa = MEAN4_RVV,
     .edges = Mean4_edges::repaired_by_frame,
     .report_label = "RVV",
     .report_format = "RVV:  %d\n",
     .report_optional = true},
};
MEAN4_ASSERT_WELL_FORMED(BENCHMARK_KERNELS);

} // namespace

std::span<const Mean4_kernel> mean4_benchmark_kernels()
{
    return BENCHMARK_KERNELS;
}
