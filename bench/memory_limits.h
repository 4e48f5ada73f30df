// The machine's limits for this filter's memory traffic: one pass that reads
// a source-sized buffer and writes a result-sized one, each byte widened to a
// word and nothing computed. No filter can move the same bytes faster with
// the same kind of store.
#pragma once

#include "mean4_registry.h"

#include <cstddef>
#include <cstdint>

// Widens src[0 .. pixels-1] into dst with the widest vectors this processor
// has, with cached stores or streaming (non-temporal) ones. dst is 64-byte
// aligned.
void limit_pass(const uint8_t* src, uint32_t* dst, size_t pixels, Mean4_stores stores);

// The same pass over a width x height image on all cores, in the bands of
// rows the all-core variants use, so each core moves the rows it would
// filter. Rows of a multiple of 16 pixels keep every band 64-byte aligned.
void limit_pass_all_cores(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                          Mean4_stores stores);
