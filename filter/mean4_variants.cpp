#include "mean4_variants.h"

#include "mean4.h"

static int32_t narrow(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst)
{
    return mean4_vector(width, height, src, dst, false);
}

static int32_t wide(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst)
{
    return mean4_vector(width, height, src, dst, true);
}

static bool always()
{
    return true;
}

static bool narrow_supported()
{
    return mean4_vector_supported(false);
}

static bool wide_supported()
{
    return mean4_vector_supported(true);
}

const Mean4_variant MEAN4_VARIANTS[MEAN4_VARIANT_COUNT] = {
    {"C++", mean4_reference, nullptr, always, alignof(uint32_t), true},
    {"SSE", narrow, "SSE4.1", narrow_supported, 16, false},
    {"AVX2", wide, "AVX2", wide_supported, 32, false},
};
