// The explorer's further AArch64 kernels as registry rows, side by side so
// that their differences read at a glance: set, data flow (words or bytes),
// and stores. The benchmark program does not link them.
#include "kernels/mean4_kernels.h"
#include "mean4_registry.h"

namespace {

constexpr Mean4_kernel EXPLORER_KERNELS[] = {
    {.name = "autovec",
     .whole_image = mean4_reference_autovec,
     .isa = MEAN4_BASELINE,
     .written_by = Mean4_author::compiler,
     .flow = Mean4_flow::reference},
    {.name = "neon_stream",
     .rows = mean4_rows_neon_stream,
     .isa = MEAN4_BASELINE,
     .stores = Mean4_stores::streaming,
     .costed_as = "neon"},
    {.name = "neon_bytes",
     .rows = mean4_rows_neon_bytes,
     .isa = MEAN4_BASELINE,
     .flow = Mean4_flow::bytes},
    {.name = "neon_bytes_stream",
     .rows = mean4_rows_neon_bytes_stream,
     .isa = MEAN4_BASELINE,
     .stores = Mean4_stores::streaming,
     .flow = Mean4_flow::bytes,
     .costed_as = "neon_bytes"},
    {.name = "sve2_bytes",
     .rows = mean4_rows_sve2_bytes,
     .isa = MEAN4_SVE2,
     .edges = Mean4_edges::repaired_by_frame,
     .flow = Mean4_flow::bytes},
    {.name = "neon_bytes_2rows",
     .rows = mean4_rows_neon_bytes_2rows,
     .isa = MEAN4_BASELINE,
     .flow = Mean4_flow::bytes,
     .rows_per_pass = 2},
    {.name = "neon_bytes_2rows_stream",
     .rows = mean4_rows_neon_bytes_2rows_stream,
     .isa = MEAN4_BASELINE,
     .stores = Mean4_stores::streaming,
     .flow = Mean4_flow::bytes,
     .rows_per_pass = 2,
     .costed_as = "neon_bytes_2rows"},
    {.name = "sve2_bytes_2rows",
     .rows = mean4_rows_sve2_bytes_2rows,
     .isa = MEAN4_SVE2,
     .edges = Mean4_edges::repaired_by_frame,
     .flow = Mean4_flow::bytes,
     .rows_per_pass = 2},
};
MEAN4_ASSERT_WELL_FORMED(EXPLORER_KERNELS);

} // namespace

std::span<const Mean4_kernel> mean4_explorer_kernels()
{
    return EXPLORER_KERNELS;
}
