// The x86-64 benchmark program's three variants as registry rows, and the public entry points of
// the vectorised filter, which run the two vector rows.
#include "kernels/mean4_kernels.h"
#include "mean4.h"
#include "mean4_frame.h"
#include "mean4_registry.h"

namespace {

// The reference first: the program checks the others against its result.
enum { REFERENCE, NARROW, WIDE };

constexpr Mean4_kernel BENCHMARK_KERNELS[] = {
    {.name = "scalar",
     .whole_image = mean4_reference,
     .isa = MEAN4_BASELINE,
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

int32_t mean4_vector(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst, bool wide)
{
    return mean4_vector_with(BENCHMARK_KERNELS[wide ? WIDE : NARROW], width, height, src, dst);
}

bool mean4_vector_supported(bool wide)
{
    return BENCHMARK_KERNELS[wide ? WIDE : NARROW].isa.supported();
}
