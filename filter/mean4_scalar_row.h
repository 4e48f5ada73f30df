// One result row in scalar code, shared by the reference and by the vectorised
// filter's top and bottom rows. Internal to the filter library.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes out[0 .. width-1] for `row`, with `above` and `below` its neighbour
// rows. At the top or bottom edge the caller passes `row` itself as the
// missing neighbour, which is the clamp rule; the left and right edges are
// clamped here. width >= 1.
void mean4_scalar_row(const uint8_t* above, const uint8_t* row, const uint8_t* below, size_t width,
                      uint32_t* out);
