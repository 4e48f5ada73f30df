// The machine's limits for this filter's memory traffic: one pass that reads
// a source-sized buffer and writes a result-sized one, each byte widened to a
// word and nothing computed. No filter can move the same bytes faster with
// the same kind of store.
#pragma once

#include "mean4_registry.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Each pixel is one byte read and one 32-bit word written.
constexpr size_t BYTES_PER_PIXEL = 5;

// The kinds of store the architecture's kernels use, and so the limits
// measured: cached, and streaming where the architecture has non-temporal
// stores (x86-64, AArch64; not riscv64). A kind not listed is not a limit
// of this architecture, and the functions below treat it as cached.
std::span<const Mean4_stores> limit_store_kinds();

// Widens src[0 .. pixels-1] into dst with the widest vectors this processor
// has, with cached stores or streaming (non-temporal) ones. dst is 64-byte
// aligned.
void limit_pass(const uint8_t* src, uint32_t* dst, size_t pixels, Mean4_stores stores);

// The copy with the row kernels' access pattern (the pattern copy): every interior row of a width x
// height image widened from the OR of the row above, itself and the row
// below, the top and bottom rows as they are. The same bytes move through
// memory as in limit_pass, but each source row is read three times, from
// the caches after the first, as the row kernels read it. With
// rows_per_pass 2 the rows go in pairs, a step of each at the same x, as
// the two-row kernels go: each source row is read in two passes rather than
// three. One core; width a multiple of 16 and dst 64-byte aligned.
void pattern_pass(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                  Mean4_stores stores, size_t rows_per_pass);

// pattern_pass over all cores, in the all-core variants' bands of rows:
// each band's first and last rows read their neighbours in the bands beside
// it, as the row kernels do.
void pattern_pass_all_cores(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                            Mean4_stores stores, size_t rows_per_pass);

// The architecture's part of pattern_pass: rows 1 .. height - 2, the
// processor checked and the streaming stores fenced once for all of them,
// its vector step walked over the rows by walk_pattern_rows (pattern_walk.h).
void pattern_interior(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                      Mean4_stores stores, size_t rows_per_pass);

// One word of an interior row, for the pixels a vector step leaves over.
inline uint32_t three_row_word(const uint8_t* pixel, size_t width)
{
    return uint32_t(pixel[-static_cast<ptrdiff_t>(width)] | pixel[0] | pixel[width]);
}

// limit_pass over a width x height image on all cores, in the bands of
// rows the all-core variants use, so each core moves the rows it would
// filter. Rows of a multiple of 16 pixels keep every band 64-byte aligned.
void limit_pass_all_cores(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                          Mean4_stores stores);
