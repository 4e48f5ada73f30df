// The scalar reference: the ground truth the vector variants must match word
// for word, and the baseline they are timed against. This file is built
// without the compiler's auto-vectoriser so that it measures scalar code.
// kernels/<architecture>/reference_autovec.cpp compiles it again for the explorer, for a vector
// instruction set (REFERENCE_TARGET) and with the vectoriser on.
#include "mean4.h"
#include "mean4_scalar_row.h"

#ifndef REFERENCE_TARGET
#define REFERENCE_TARGET
#endif

REFERENCE_TARGET
void mean4_scalar_row(const uint8_t* above, const uint8_t* row, const uint8_t* below, size_t width,
                      uint32_t* out)
{
    // Sums are formed in signed 32-bit and divided by 4; all are non-negative,
    // so this is the floor of the mean.
    if (width == 1) {
        const int32_t sum = 2 * row[0] + above[0] + below[0];
        out[0] = static_cast<uint32_t>(sum / 4);
        return;
    }

    // Left column: the missing left neighbour is the pixel itself.
    out[0] = static_cast<uint32_t>((row[0] + row[1] + above[0] + below[0]) / 4);

    for (size_t x = 1; x + 1 < width; ++x) {
        const int32_t sum = row[x - 1] + row[x + 1] + above[x] + below[x];
        out[x] = static_cast<uint32_t>(sum / 4);
    }

    // Right column: the byte after the row is the next row's first pixel,
    // never this pixel's neighbour; the pixel stands in for it.
    const size_t last = width - 1;
    out[last] = static_cast<uint32_t>((row[last - 1] + row[last] + above[last] + below[last]) / 4);
}

REFERENCE_TARGET
int32_t mean4_reference(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst)
{
    if (src == nullptr)
        return MEAN4_NULL_SOURCE;
    if (dst == nullptr)
        return MEAN4_NULL_RESULT;
    if (width < 1 || height < 1)
        return MEAN4_BAD_GEOMETRY;

    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    const uint8_t* row = src;
    uint32_t* out = dst;
    for (size_t y = 0; y < h; ++y, row += w, out += w) {
        // The first row is its own upper neighbour, the last its own lower one.
        const uint8_t* above = y == 0 ? row : row - w;
        const uint8_t* below = y + 1 == h ? row : row + w;
        mean4_scalar_row(above, row, below, w, out);
    }
    return MEAN4_OK;
}
