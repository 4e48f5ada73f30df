#include "explore_variants.h"

#include "band_pool.h"
#include "mean4.h"
#include "mean4_band.h"

#include <cstring>

// mean4_reference.cpp compiled a second time, for AVX2 and with the compiler's
// vectoriser on; see CMakeLists.txt.
int32_t mean4_reference_autovec(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst);

namespace {

bool always()
{
    return true;
}

bool has_sse41()
{
    return mean4_vector_supported(false);
}

bool has_avx2()
{
    return mean4_vector_supported(true);
}

bool has_avx512bw()
{
    // Also checks that the operating system saves the ZMM and mask registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
}

template <const Mean4_kernel& kernel>
int32_t one_thread(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst)
{
    return mean4_vector_with(kernel, width, height, src, dst);
}

// The kernel over the interior rows, split into one band per logical
// processor and run on the shared pool.
template <const Mean4_kernel& kernel>
int32_t threaded(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst)
{
    const int32_t status =
        mean4_check_vector_arguments(width, height, src, dst, kernel.result_alignment);
    if (status != MEAN4_OK)
        return status;
    const auto w = static_cast<size_t>(width);
    const auto h = static_cast<size_t>(height);
    Band_pool& pool = all_cores_pool();
    pool.run([&](unsigned band) {
        mean4_band(src, w, h, dst, band_start(h, band, pool.bands()),
                   band_start(h, band + 1, pool.bands()), kernel);
    });
    return MEAN4_OK;
}

} // namespace

const Explore_variant EXPLORE_VARIANTS[EXPLORE_VARIANT_COUNT] = {
    {{"scalar", mean4_reference, nullptr, always, 4, true}, Limit_kind::cached},
    {{"autovec", mean4_reference_autovec, "AVX2", has_avx2, 4, true}, Limit_kind::cached},
    {{"narrow", one_thread<MEAN4_KERNEL_128>, "SSE4.1", has_sse41, 16, false},
     Limit_kind::cached},
    {{"wide", one_thread<MEAN4_KERNEL_256>, "AVX2", has_avx2, 32, false}, Limit_kind::cached},
    {{"512", one_thread<MEAN4_KERNEL_512>, "AVX-512BW", has_avx512bw, 64, false},
     Limit_kind::cached},
    {{"wide_stream", one_thread<MEAN4_KERNEL_256_STREAM>, "AVX2", has_avx2, 32, false},
     Limit_kind::streaming},
    {{"512_stream", one_thread<MEAN4_KERNEL_512_STREAM>, "AVX-512BW", has_avx512bw, 64, false},
     Limit_kind::streaming},
    {{"wide_threads", threaded<MEAN4_KERNEL_256>, "AVX2", has_avx2, 32, false},
     Limit_kind::cached_all_cores},
    {{"512_threads", threaded<MEAN4_KERNEL_512>, "AVX-512BW", has_avx512bw, 64, false},
     Limit_kind::cached_all_cores},
    {{"wide_stream_threads", threaded<MEAN4_KERNEL_256_STREAM>, "AVX2", has_avx2, 32, false},
     Limit_kind::streaming_all_cores},
    {{"512_stream_threads", threaded<MEAN4_KERNEL_512_STREAM>, "AVX-512BW", has_avx512bw, 64,
      false},
     Limit_kind::streaming_all_cores},
};

static const Explore_variant& first_supported(const char* preferred, const char* fallback)
{
    const char* wanted = preferred;
    for (int pass = 0; pass < 2; ++pass, wanted = fallback)
        for (const Explore_variant& candidate : EXPLORE_VARIANTS)
            if (std::strcmp(candidate.variant.name, wanted) == 0 && candidate.variant.supported())
                return candidate;
    return EXPLORE_VARIANTS[0];
}

const Explore_variant& best_cached_variant()
{
    return first_supported("512", "wide");
}

const Explore_variant& best_streaming_variant()
{
    return first_supported("512_stream", "wide_stream");
}
