// The AArch64 benchmark program's variants as registry rows: the reference,
// NEON and, where the processor has it, SVE; and the public entry points of
// the vectorised filter, whose narrow variant is NEON and wide one SVE.
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

int32_t mean4_vector(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst, bool wide)
{
    return mean4_vector_with(BENCHMARK_KERNELS[wide ? WIDE : NARROW], width, height, src, dst);
}

bool mean4_vector_supported(bool wide)
{
    return BENCHMARK_KERNELS[wide ? WIDE : NARROW].isa.supported();
}
