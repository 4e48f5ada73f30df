// Word-by-word comparison of a variant's result with the reference's: the
// benchmark program's verification and the explorer's use the same.
#pragma once

#include <cstddef>
#include <cstdint>

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

// The difference in words, naming the variant, into text[0 .. size - 1] as
// snprintf writes it: "the AVX2 result differs from the reference in ...".
int format_difference(char* text, size_t size, const char* variant,
                      const Result_difference& difference);
