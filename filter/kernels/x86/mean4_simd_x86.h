// Small helpers the x86 kernel files share. Each carries the instruction set
// it needs, like the kernels, and is always inlined into a kernel of that set
// or a later one; none is ever called on its own, so none can run on a
// processor that lacks its set. They have internal linkage: every kernel file
// gets its own inlined copies, and the linker has none to merge across files.
#pragma once

#include "mean4_isa_x86.h"

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

// GCC 12's 512-bit widening intrinsics start from _mm512_undefined_epi32(),
// which its -Wmaybe-uninitialized takes for a read of an uninitialised value.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// Eight bytes zero-extended to eight 16-bit lanes; p need not be aligned.
MEAN4_TARGET(SSE41) inline __m128i load_8_pixels(const uint8_t* p)
{
    return _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// Sixteen bytes zero-extended to sixteen 16-bit lanes; p need not be aligned.
MEAN4_TARGET(AVX2) inline __m256i load_16_pixels(const uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Eight result words at an aligned `out`, through the cache or streamed.
template <bool streaming> MEAN4_TARGET(AVX2) inline void store_8_words(uint32_t* out, __m256i words)
{
    if (streaming)
        _mm256_stream_si256(reinterpret_cast<__m256i*>(out), words);
    else
        _mm256_store_si256(reinterpret_cast<__m256i*>(out), words);
}

// Sixteen result words at a 64-byte aligned `out`, through the cache or streamed.
template <bool streaming>
MEAN4_TARGET(AVX512BW)
inline void store_16_words(uint32_t* out, __m512i words)
{
    if (streaming)
        _mm512_stream_si512(reinterpret_cast<__m512i*>(out), words);
    else
        _mm512_store_si512(out, words);
}

// Makes the compiler load a vector once, into a register: where a neighbour
// feeds two operations, GCC left to itself folds a fresh load into both,
// which doubles the loads, the resource the byte kernels run short of first.
MEAN4_TARGET(AVX2) inline __attribute__((always_inline)) void keep_in_register(__m256i& vector)
{
    asm("" : "+v"(vector));
}

MEAN4_TARGET(AVX512BW) inline __attribute__((always_inline)) void keep_in_register(__m512i& vector)
{
    asm("" : "+v"(vector));
}

} // namespace
