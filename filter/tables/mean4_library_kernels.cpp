// The rows of the filter as a portable SIMD library writes it, beside the
// hand-written kernels in the explorer. Highway picks its own instruction set
// at run time, so the rows need no more than the architecture's baseline.
#include "library/mean4_library_kernels.h"
#include "kernels/mean4_kernels.h"
#include "mean4_registry.h"

#include <string>

namespace {

constexpr Mean4_kernel LIBRARY_KERNELS[] = {
    {.name = "hwy",
     .rows = mean4_rows_hwy,
     .isa = MEAN4_BASELINE,
     .result_alignment = 64,
     .written_by = Mean4_author::library,
     .flow = Mean4_flow::dwords},
    {.name = "hwy_stream",
     .rows = mean4_rows_hwy_stream,
     .isa = MEAN4_BASELINE,
     .result_alignment = 64,
     .stores = Mean4_stores::streaming,
     .written_by = Mean4_author::library,
     .flow = Mean4_flow::dwords,
     .costed_as = "hwy"},
};
MEAN4_ASSERT_WELL_FORMED(LIBRARY_KERNELS);

} // namespace

std::span<const Mean4_kernel> mean4_library_kernels()
{
    return LIBRARY_KERNELS;
}

const char* mean4_library_description()
{
    static const std::string description =
        std::string("Highway, dispatched to ") + mean4_hwy_target();
    return description.c_str();
}
