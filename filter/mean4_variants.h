// The three implementations the benchmark compares, behind one signature, so
// the program, the tests and any benchmark can loop over them as data.
#pragma once

#include <cstddef>
#include <cstdint>

using Mean4_filter = int32_t (*)(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst);

struct Mean4_variant {
    const char* name;    // its label in the report: "C++", "SSE" or "AVX2"
    Mean4_filter filter; // mean4_reference, or mean4_vector narrow or wide
    const char* isa;     // the instruction-set extension it needs, or null
    bool (*supported)(); // whether this processor and operating system can run it
    size_t result_alignment; // bytes; a result off this boundary is refused
    bool takes_any_size;     // any width and height >= 1, or only the vector frame's sizes
};

// The reference first, then the narrow and the wide vector variant.
constexpr int MEAN4_VARIANT_COUNT = 3;
extern const Mean4_variant MEAN4_VARIANTS[MEAN4_VARIANT_COUNT];
