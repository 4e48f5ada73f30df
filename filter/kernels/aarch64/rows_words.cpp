// The NEON word-domain kernel with streaming stores (STNP), for the explorer.
// Preconditions as for mean4_rows_neon (rows_neon_sve.cpp).
#include "kernels/mean4_kernels.h"
#include "mean4_simd_aarch64.h"

void mean4_rows_neon_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_neon_words<true>(src_row, width, dst_row, rows);
}
