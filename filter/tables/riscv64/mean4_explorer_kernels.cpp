// The explorer's further riscv64 kernels as registry rows. None streams: the
// vector extension has no non-temporal store.
#include "kernels/mean4_kernels.h"
#include "mean4_registry.h"

namespace {

constexpr Mean4_kernel EXPLORER_KERNELS[] = {
    {.name = "autovec",
     .whole_image = mean4_reference_autovec,
     .isa = MEAN4_RVV,
     .written_by = Mean4_author::compiler,
     .flow = Mean4_flow::reference},
    {.name = "rvv_bytes",
     .rows = mean4_rows_rvv_bytes,
     .isa = MEAN4_RVV,
     .edges = Mean4_edges::repaired_by_frame,
     .flow = Mean4_flow::bytes},
    {.name = "rvv_bytes_2rows",
     .rows = mean4_rows_rvv_bytes_2rows,
     .isa = MEAN4_RVV,
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
