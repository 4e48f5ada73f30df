// What the x86 kernel files share, and the explorer's memory limits with
// them: small helpers and the AVX2 word-domain row loop. Each carries the
// instruction set it needs, like the kernels, and is always inlined into a
// kernel of that set or a later one; none is ever called on its own, so none
// can run on a processor that lacks its set. They have internal linkage:
// every file gets its own inlined copies, and the linker has none to merge
// across files.
#pragma once

#include "mean4_isa_x86.h"

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

// The helpers and steps that must melt into the loop that calls them.
#define MEAN4_ALWAYS_INLINE inline __attribute__((always_inline))

// How far ahead of a step the kernels prefetch the row below, the one input
// not already in the cache, in bytes: one choice for every kernel, tuned on
// the Zen 4 (family 25, model 17), where the hardware prefetcher falls
// behind on that row under streaming stores.
#define MEAN4_PREFETCH_AHEAD 2048

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
MEAN4_TARGET(AVX2) MEAN4_ALWAYS_INLINE void keep_in_register(__m256i& vector)
{
    asm("" : "+v"(vector));
}

MEAN4_TARGET(AVX512BW) MEAN4_ALWAYS_INLINE void keep_in_register(__m512i& vector)
{
    asm("" : "+v"(vector));
}

// The AVX2 word-domain step: sixteen pixels in 16-bit lanes, where four
// pixels sum to at most 1020. With clamp_left or clamp_right the step is the
// row's first or last, and the pixel itself stands in for its missing
// neighbour.
template <bool streaming, bool clamp_left, bool clamp_right>
MEAN4_TARGET(AVX2)
MEAN4_ALWAYS_INLINE void step_256_words(const uint8_t* above, const uint8_t* row, size_t width,
                                        uint32_t* out, short first_pixel, short last_pixel)
{
    __m256i left = load_16_pixels(row - 1);
    __m256i right = load_16_pixels(row + 1);
    if (clamp_left)
        left = _mm256_insert_epi16(left, first_pixel, 0);
    if (clamp_right)
        right = _mm256_insert_epi16(right, last_pixel, 15);
    // The row below, MEAN4_PREFETCH_AHEAD on; a prefetch past the image is
    // harmless.
    if (streaming)
        _mm_prefetch(reinterpret_cast<const char*>(row + width + MEAN4_PREFETCH_AHEAD),
                     _MM_HINT_T0);
    const __m256i down = load_16_pixels(row + width);
    const __m256i up = load_16_pixels(above);

    const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(right, left), down), up);
    const __m256i mean = _mm256_srli_epi16(sum, 2);

    // Widening to 32 bits reads the low 128-bit half only, so exchange the
    // halves to bring lanes 8-15 down for the second store.
    const __m256i halves_exchanged = _mm256_permute2x128_si256(mean, mean, 0x01);
    store_8_words<streaming>(out, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(mean)));
    store_8_words<streaming>(out + 8,
                             _mm256_cvtepu16_epi32(_mm256_castsi256_si128(halves_exchanged)));
}

// The AVX2 word-domain row loop, sixteen pixels a step. Shared by the
// program's mean4_rows_256 (cached stores, edge columns left to the frame)
// and the explorer's mean4_rows_avx2_stream (streaming stores, edges
// clamped).
//
// Preconditions: width is a non-zero multiple of 16; rows >= 1; the row above
// the first row and the row below the last are readable, and so are the byte
// before the first row and the byte after the last; dst_row is 32-byte
// aligned.
//
// Loading the row one byte to each side gives the horizontal neighbours
// without any lane moves; the centre is never loaded. So every row is treated
// as endless: column 0 takes the previous row's last pixel as its left
// neighbour and the last column the next row's first pixel as its right one.
// With clamp_edges the row's first and last steps, taken out of the loop, put
// the pixel itself in their place; without, both edge columns are wrong on
// return, and in exchange the loop has no scalar work.
template <bool streaming, bool clamp_edges>
MEAN4_TARGET(AVX2)
inline void rows_256_words(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    for (; rows != 0; --rows, src_row += width, dst_row += width) {
        // Ask for the row's first result line in a writable state ahead of
        // the first store. Written as an instruction, not as an intrinsic
        // that would add its own feature to the kernel's set: processors that
        // lack prefetchw execute it as a no-op, so it is no requirement.
        // Streaming stores do not go through the cache, so they skip it.
        if (!streaming)
            asm("prefetchw %0" : : "m"(*dst_row));
        const short first_pixel = src_row[0];
        const short last_pixel = src_row[width - 1];
        const uint8_t* row = src_row;
        uint32_t* out = dst_row;
        if (clamp_edges && width == 16) {
            step_256_words<streaming, true, true>(row - width, row, width, out, first_pixel,
                                                  last_pixel);
            continue;
        }
        // Pointers advanced step by step, not indexed: an indexed store
        // cannot use the simple store address unit of some Intel cores.
        const uint8_t* const middle_end = src_row + width - (clamp_edges ? 16 : 0);
        if (clamp_edges) {
            step_256_words<streaming, true, false>(row - width, row, width, out, first_pixel,
                                                   last_pixel);
            row += 16;
            out += 16;
        }
        for (; row != middle_end; row += 16, out += 16)
            step_256_words<streaming, false, false>(row - width, row, width, out, first_pixel,
                                                    last_pixel);
        if (clamp_edges)
            step_256_words<streaming, false, true>(row - width, row, width, out, first_pixel,
                                                   last_pixel);
    }
    // Streaming stores are weakly ordered: make them visible before whoever
    // reads the result learns that it is done.
    if (streaming)
        _mm_sfence();
}

} // namespace
