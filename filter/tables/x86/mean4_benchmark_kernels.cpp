// The x86-64 benchmark program's three variants as registry rows, in the
// order it runs them: the reference, the narrow one and the wide one, which
// mean4_vector also runs (mean4_vector.cpp).
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
    {.name = "sse41",
     .rows = mean4_rows_128,
     .isa = MEAN4_SSE41,
     .report_label = "SSE",
     .report_format = "SSE:  %d\n"},
    {.name = "avx2",
     .rows = mean4_rows_256,
     .isa = MEAN4_AVX2,
     .edges = Mean4_edges::repaired_by_frame,
     .report_label = "AVX2",
     .report_format = "AVX2: %d\n"},
};
MEAN4_ASSERT_WELL_FORMED(BENCHMARK_KERNELS);

} // namespace

std::span<const Mean4_kernel> mean4_benchmark_kernels()
{
    return BENCHMARK_KERNELS;
}
