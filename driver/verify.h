// Word-by-word comparison of a vectorised result with the reference result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct Result_difference {
    uint64_t differing_words; // 0 when the results are equal
    size_t first_x;           // the first differing word in raster order,
    size_t first_y;           // valid when differing_words > 0
    uint32_t reference_word;
    uint32_t variant_word;
};

// Compares every word, index 0 first, and never stops early. on_difference,
// when not null, is called once for each differing word as it is found.
Result_difference compare_results(const uint32_t* ref_out, const uint32_t* vec_out, size_t width,
                                  size_t height, void (*on_difference)());

// One line on `stream` describing the difference, naming the variant.
void print_difference(FILE* stream, const char* variant, const Result_difference& difference);
