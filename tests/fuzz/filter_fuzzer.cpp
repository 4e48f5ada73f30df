// Coverage-guided fuzzing of every variant. The input chooses the geometry
// (often one the routines must refuse), the source's offset from a 64-byte
// boundary, the result's, and the pixels. Every variant the processor runs
// must then return the documented status, and either write exactly the
// rule's result or, on a refusal, nothing at all; guard words on both sides
// of the result catch a write outside it, and AddressSanitizer a read outside
// the source.
#include "filter_check.h"
#include "mean4.h"
#include "variants.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using filter_check::Guarded_result;
using filter_check::Image;

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

// The pixels: the rest of the input, repeated to fill the image. A loop over
// every pixel with nothing to explore, so out of the coverage tracing.
FILTER_CHECK_UNTRACED void fill_pixels(Image& src, const Input& in)
{
    const size_t pixels = src.pixel_count();
    for (size_t i = 0; i < pixels; ++i)
        src.pixels()[i] = in.size == 0 ? uint8_t(i * 37) : in.data[i % in.size];
}

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

int32_t documented_status(const Explore_variant& variant, const Geometry& g, uintptr_t dst)
{
    const int32_t w = g.width, h = g.height;
    if (g.null_source)
        return MEAN4_NULL_SOURCE;
    if (g.null_result)
        return MEAN4_NULL_RESULT;
    if (variant.takes_any_size())
        return w >= 1 && h >= 1 ? MEAN4_OK : MEAN4_BAD_GEOMETRY;
    if (w < 16 || w % 16 != 0 || h < 3)
        return MEAN4_BAD_GEOMETRY;
    return dst % mean4_result_alignment(*variant.kernel) == 0 ? MEAN4_OK : MEAN4_MISALIGNED_RESULT;
}

[[noreturn]] void finding(const Explore_variant& variant, const Image& src, size_t offset,
                          const std::string& what)
{
    std::fprintf(stderr,
                 "%s on %d x %d, source %zu and result %zu bytes past a 64-byte boundary: %s\n",
                 variant.name.c_str(), src.width, src.height, src.misalign, offset, what.c_str());
    std::abort();
}

// One run of the variant into `result`, which holds SENTINEL everywhere on
// entry, and so again on return. Aborts on a finding.
void check_variant(const Explore_variant& variant, const Image& src, const Geometry& g,
                   size_t offset, const std::vector<uint32_t>& expected, Guarded_result& result)
{
    const int32_t status = variant.run(g.width, g.height, g.null_source ? nullptr : src.pixels(),
                                       g.null_result ? nullptr : result.image);
    const int32_t documented =
        documented_status(variant, g, reinterpret_cast<uintptr_t>(result.image));
    if (status != documented)
        finding(variant, src, offset,
                "status " + std::to_string(status) + ", documented " + std::to_string(documented));
    const std::string difference =
        status == MEAN4_OK ? result.difference(expected, g.width) : result.untouched();
    if (!difference.empty())
        finding(variant, src, offset, difference);
    if (status == MEAN4_OK)
        result.clear_image_after_passing_check();
}

// The variants this processor runs, found once.
const std::vector<const Explore_variant*>& runnable_variants()
{
    static const std::vector<const Explore_variant*> runnable = [] {
        std::vector<const Explore_variant*> variants;
        for (const Explore_variant& variant : explore_variants())
            if (variant.supported())
                variants.push_back(&variant);
        return variants;
    }();
    return runnable;
}

} // namespace

// Between the all-core variants' parallel regions the fuzzer does seconds of
// single-threaded work a minute; OpenMP's team threads, left to spin through
// it, take the core that a second fuzzing process (-jobs) or anything else on
// the machine needs. Set before the runtime starts, unless the user chose.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("OMP_WAIT_POLICY", "passive", 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size};
    const Geometry g = choose_geometry(in);
    const size_t result_offset = 4 * (in.take() % 16); // 0 .. 60 bytes
    const size_t source_offset = in.take() % 16;       // 0 .. 15 bytes

    // The source is allocated for each input at its exact size, so that a
    // read past it is outside the allocation.
    Image src(g.width, g.height, source_offset);
    const size_t pixels = src.pixel_count();
    fill_pixels(src, in);
    static std::vector<uint32_t> expected;
    filter_check::expected_result(src, expected);

    // One result buffer for all the variants.
    Guarded_result result(pixels, result_offset);
    for (const Explore_variant* variant : runnable_variants())
        check_variant(*variant, src, g, result_offset, expected, result);
    return 0;
}
