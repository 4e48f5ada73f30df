// The explorer's further x86-64 kernels as registry rows, side by side so
// that their differences read at a glance: set, data flow (16-bit words or
// bytes), and stores. The benchmark program does not link them.
#include "kernels/mean4_kernels.h"
#include "mean4_registry.h"

namespace {

constexpr Mean4_kernel EXPLORER_KERNELS[] = {
    {.name = "autovec",
     .whole_image = mean4_reference_autovec,
     .isa = MEAN4_AVX2,
     .written_by = Mean4_author::compiler,
     .flow = Mean4_flow::reference},
    {.name = "avx512", .rows = mean4_rows_avx512, .isa = MEAN4_AVX512BW},
    {.name = "avx2_stream",
     .rows = mean4_rows_avx2_stream,
     .isa = MEAN4_AVX2,
     .stores = Mean4_stores::streaming,
     .costed_as = "avx2"},
    {.name = "avx512_stream",
     .rows = mean4_rows_avx512_stream,
     .isa = MEAN4_AVX512BW,
     .stores = Mean4_stores::streaming,
     .costed_as = "avx512"},
    {.name = "avx2_bytes",
     .rows = mean4_rows_avx2_bytes,
     .edge_row = mean4_row_avx2_bytes,
     .isa = MEAN4_AVX2,
     .flow = Mean4_flow::bytes},
    {.name = "avx2_bytes_stream",
     .rows = mean4_rows_avx2_bytes_stream,
     .edge_row = mean4_row_avx2_bytes_stream,
     .isa = MEAN4_AVX2,
     .stores = Mean4_stores::streaming,
     .flow = Mean4_flow::bytes,
     .costed_as = "avx2_bytes"},
    {.name = "avx512_bytes",
     .rows = mean4_rows_avx512_bytes,
     .edge_row = mean4_row_avx512_bytes,
     .isa = MEAN4_AVX512BW,
     .flow = Mean4_flow::bytes},
    {.name = "avx512_bytes_stream",
     .rows = mean4_rows_avx512_bytes_stream,
     .edge_row = mean4_row_avx512_bytes_stream,
     .isa = MEAN4_AVX512BW,
     .stores = Mean4_stores::streaming,
     .flow = Mean4_flow::bytes,
     .costed_as = "avx512_bytes"},
    {.name = "avx2_bytes_2rows",
     .rows = mean4_rows_avx2_bytes_2rows,
     .edge_row = mean4_row_avx2_bytes,
     .isa = MEAN4_AVX2,
     .flow = Mean4_flow::bytes,
     .rows_per_pass = 2},
    {.name = "avx2_bytes_2rows_stream",
     .rows = mean4_rows_avx2_bytes_2rows_stream,
     .edge_row = mean4_row_avx2_bytes_stream,
     .isa = MEAN4_AVX2,
     .stores = Mean4_stores::streaming,
     .flow = Mean4_flow::bytes,
     .rows_per_pass = 2,
     .costed_as = "avx2_bytes_2rows"},
    {.name = "avx512_bytes_2rows",
     .rows = mean4_rows_avx512_bytes_2rows,
     .edge_row = mean4_row_avx512_bytes,
     .isa = MEAN4_AVX512BW,
     .flow = Mean4_flow::bytes,
     .rows_per_pass = 2},
    {.name = "avx512_bytes_2rows_stream",
     .rows = mean4_rows_avx512_bytes_2rows_stream,
     .edge_row = mean4_row_avx512_bytes_stream,
     .isa = MEAN4_AVX512BW,
     .stores = Mean4_stores::streaming,
     .flow = Mean4_flow::bytes,
     .rows_per_pass = 2,
     .costed_as = "avx512_bytes_2rows"},
};
MEAN4_ASSERT_WELL_FORMED(EXPLORER_KERNELS);

} // namespace

std::span<const Mean4_kernel> mean4_explorer_kernels()
{
    return EXPLORER_KERNELS;
}
