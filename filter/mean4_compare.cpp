#include "mean4_compare.h"

#include <cinttypes>
#include <cstdio>

Result_difference compare_results(const uint32_t* ref_out, const uint32_t* vec_out, size_t width,
                                  size_t height, void (*on_difference)())
{
    Result_difference difference{};
    const size_t count = width * height;
    for (size_t i = 0; i < count; ++i) {
        if (ref_out[i] == vec_out[i])
            continue;
        if (difference.differing_words++ == 0) {
            difference.first_x = i % width;
            difference.first_y = i / width;
            difference.reference_word = ref_out[i];
            difference.variant_word = vec_out[i];
        }
        if (on_difference != nullptr)
            on_difference();
    }
    return difference;
}

int format_difference(char* text, size_t size, const char* variant,
                      const Result_difference& difference)
{
    return std::snprintf(text, size,
                         "the %s result differs from the reference in %" PRIu64
                         " word%s; the first at (x=%zu, y=%zu): reference %" PRIu32 ", %s %" PRIu32,
                         variant, difference.differing_words,
                         difference.differing_words == 1 ? "" : "s", difference.first_x,
                         difference.first_y, difference.reference_word, variant,
                         difference.variant_word);
}
