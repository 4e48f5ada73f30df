// The vectorised filter's frame: the image's top and bottom rows, the
// interior rows in one call of a row kernel, and, after a kernel that needs
// it, the repair of the edge columns. Open to callers that split the image
// into bands of rows (the explorer's variants on all cores). Internal to the
// project; the benchmark's entry points are in mean4.h.
#pragma once

#include "mean4_registry.h"

#include <cstddef>
#include <cstdint>

// mean4_vector's argument checks for a kernel with the given result
// alignment: MEAN4_OK or the first status that applies, in mean4.h's order.
int32_t mean4_check_vector_arguments(int32_t width, int32_t height, const uint8_t* src,
                                     const uint32_t* dst, size_t result_alignment);

// Writes result rows first_row .. end_row - 1 of a width x height image whose
// arguments passed mean4_check_vector_arguments. Rows 0 and height - 1 are
// computed by the row's edge_row, or in scalar code, the rest by the row
// kernel. Bands that do not overlap may run at the same time.
void mean4_band(const uint8_t* src, size_t width, size_t height, uint32_t* dst, size_t first_row,
                size_t end_row, const Mean4_kernel& kernel);

// The whole image with one row kernel: the checks, then one band.
int32_t mean4_vector_with(const Mean4_kernel& kernel, int32_t width, int32_t height,
                          const uint8_t* src, uint32_t* dst);

// Recomputes both edge columns of rows first .. end - 1 with the clamp rule,
// after a kernel that took their outer neighbours from the adjacent rows.
void mean4_repair_edge_columns(const uint8_t* src, size_t width, size_t first, size_t end,
                               uint32_t* dst);
