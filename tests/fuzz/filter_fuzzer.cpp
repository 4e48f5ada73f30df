// Coverage-guided fuzzing of every variant. The input chooses the geometry
// (often one the routines must refuse), the result's offset from a 64-byte
// boundary, and the pixels. Every variant the processor runs must then return
// the documented status, and either write exactly the rule's result or, on a
// refusal, nothing at all; guard words on both sides of the result catch a
// write outside it, and AddressSanitizer a read outside the source.
#include "explore_variants.h"
#include "mean4.h"
#include "mean4_variants.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t SENTINEL = 0xA5A5A5A5;
constexpr size_t GUARD_WORDS = 16;

struct Input {
    const uint8_t* data;
    size_t size;

    uint8_t take()
    {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
};

// Mostly geometry the vector frame takes (widths that are multiples of 16 up
// to 384, heights up to 40); one input in four is off the rules in width or
// height, zero or negative among them, or passes a null buffer.
struct Geometry {
    int32_t width;
    int32_t height;
    bool null_source = false;
    bool null_result = false;
};

Geometry choose_geometry(Input& in)
{
    const uint8_t kind = in.take();
    Geometry g{16 * (1 + in.take() % 24), 1 + in.take() % 40};
    switch (kind % 8) {
    case 0:
        g.width = in.take() % 64 - 8; // -8 .. 55: zero, negative, off the step
        break;
    case 1:
        g.height = in.take() % 6 - 2; // -2 .. 3
        break;
    case 2:
        g.null_source = kind & 0x10;
        g.null_result = kind & 0x20;
        break;
    default:
        break;
    }
    return g;
}

// The rule, independent of every variant: neighbours clamped into the image.
uint32_t rule(const std::vector<uint8_t>& src, int32_t w, int32_t h, int32_t x, int32_t y)
{
    auto at = [&](int32_t xx, int32_t yy) {
        return uint32_t(src[size_t(std::clamp(yy, 0, h - 1)) * size_t(w) +
                            size_t(std::clamp(xx, 0, w - 1))]);
    };
    return (at(x - 1, y) + at(x + 1, y) + at(x, y - 1) + at(x, y + 1)) / 4;
}

int32_t documented_status(const Mean4_variant& variant, const Geometry& g, uintptr_t dst)
{
    const int32_t w = g.width, h = g.height;
    if (g.null_source)
        return MEAN4_NULL_SOURCE;
    if (g.null_result)
        return MEAN4_NULL_RESULT;
    if (variant.takes_any_size)
        return w >= 1 && h >= 1 ? MEAN4_OK : MEAN4_BAD_GEOMETRY;
    if (w < 16 || w % 16 != 0 || h < 3)
        return MEAN4_BAD_GEOMETRY;
    return dst % variant.result_alignment == 0 ? MEAN4_OK : MEAN4_MISALIGNED_RESULT;
}

[[noreturn]] void finding(const Mean4_variant& variant, int32_t w, int32_t h, size_t offset,
                          const char* what)
{
    std::fprintf(stderr, "%s on %d x %d, result %zu bytes past a 64-byte boundary: %s\n",
                 variant.name, w, h, offset, what);
    std::abort();
}

void check_variant(const Mean4_variant& variant, const std::vector<uint8_t>& src,
                   const Geometry& g, size_t offset, const std::vector<uint32_t>& expected)
{
    const int32_t w = g.width, h = g.height;
    const size_t words = w >= 1 && h >= 1 ? size_t(w) * size_t(h) : 0;
    // Sized for exactly the image, so ASan sees any write past the guards too.
    std::vector<uint32_t> storage(words + 2 * GUARD_WORDS + 16 + offset / 4, SENTINEL);
    const auto base = reinterpret_cast<uintptr_t>(storage.data() + GUARD_WORDS);
    uint32_t* dst = storage.data() + GUARD_WORDS + ((64 - base % 64) % 64 + offset) / 4;

    static const uint8_t no_pixels[1] = {};
    const uint8_t* pixels = g.null_source ? nullptr : src.empty() ? no_pixels : src.data();
    const int32_t status = variant.filter(w, h, pixels, g.null_result ? nullptr : dst);
    const int32_t documented = documented_status(variant, g, reinterpret_cast<uintptr_t>(dst));
    if (status != documented) {
        char what[64];
        std::snprintf(what, sizeof what, "status %d, documented %d", status, documented);
        finding(variant, w, h, offset, what);
    }
    for (const uint32_t* word = storage.data(); word != storage.data() + storage.size(); ++word) {
        const bool inside = status == MEAN4_OK && word >= dst && word < dst + words;
        if (!inside && *word != SENTINEL)
            finding(variant, w, h, offset, "a word outside the result was written");
        if (inside && *word != expected[size_t(word - dst)])
            finding(variant, w, h, offset, "a result word differs from the rule");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size};
    const Geometry g = choose_geometry(in);
    const int32_t w = g.width, h = g.height;
    const size_t offset = 4 * (in.take() % 16); // 0 .. 60 bytes
    const size_t words = w >= 1 && h >= 1 ? size_t(w) * size_t(h) : 0;

    // The pixels: the rest of the input, repeated to fill the image.
    std::vector<uint8_t> src(words);
    for (size_t i = 0; i < words; ++i)
        src[i] = in.size == 0 ? uint8_t(i * 37) : in.data[i % in.size];
    std::vector<uint32_t> expected(words);
    for (int32_t y = 0; y < h && words != 0; ++y)
        for (int32_t x = 0; x < w; ++x)
            expected[size_t(y) * size_t(w) + size_t(x)] = rule(src, w, h, x, y);

    for (const Mean4_variant& variant : MEAN4_VARIANTS)
        if (variant.supported())
            check_variant(variant, src, g, offset, expected);
    for (const Explore_variant& explore : EXPLORE_VARIANTS)
        if (explore.variant.supported())
            check_variant(explore.variant, src, g, offset, expected);
    return 0;
}
