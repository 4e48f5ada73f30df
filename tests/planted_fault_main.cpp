// The benchmark program with one planted fault, to prove that its verification
// catches a wrong result: the program's own variants, except that the wide
// one, whose edge columns the frame repairs, leaves those of row PLANTED_ROW
// as the kernel computed them, from the adjacent rows' pixels. Built only
// with the tests.
#include "benchmark.h"
#include "mean4_frame.h"
#include "mean4_registry.h"

#include <vector>

namespace {

constexpr size_t PLANTED_ROW = 4000;

// The wide variant's own row kernel, wrapped below.
Mean4_rows_fn g_wide_rows = nullptr;

// The wide kernel with the frame's edge repair done here, for every row but
// one. The frame hands it the image's interior rows, 1 .. height - 2, in one
// call, so image row y is row y - 1 of the call.
void wide_rows_with_one_row_unrepaired(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                       size_t rows)
{
    g_wide_rows(src_row, width, dst_row, rows);
    const uint8_t* src = src_row - width;
    uint32_t* dst = dst_row - width;
    mean4_repair_edge_columns(src, width, 1, PLANTED_ROW, dst);
    mean4_repair_edge_columns(src, width, PLANTED_ROW + 1, rows + 1, dst);
}

std::vector<Mean4_kernel> planted_fault_variants()
{
    std::vector<Mean4_kernel> variants;
    for (Mean4_kernel variant : mean4_benchmark_kernels()) {
        if (variant.edges == Mean4_edges::repaired_by_frame && variant.rows != nullptr) {
            g_wide_rows = variant.rows;
            variant.rows = wide_rows_with_one_row_unrepaired;
            variant.edges = Mean4_edges::clamped; // the frame must not repair it
        }
        variants.push_back(variant);
    }
    return variants;
}

} // namespace

#ifdef _WIN32
int wmain(int, wchar_t**, wchar_t**)
#else
int main()
#endif
{
    return run_benchmark(planted_fault_variants());
}
