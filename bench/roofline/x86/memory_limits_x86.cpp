// The x86-64 widening pass. Each width in its own target region, so the pass
// runs on any x86-64 and uses AVX-512 or AVX2 only where the processor has
// them: a limit measured with narrower stores than a variant uses would not
// be a limit.
#include "memory_limits.h"
#include "pattern_walk.h"

#include "kernels/x86/mean4_simd_x86.h"

template <bool streaming>
MEAN4_TARGET(AVX512BW)
static size_t widen_512(const uint8_t* src, uint32_t* dst, size_t pixels)
{
    size_t i = 0;
    for (; i + 64 <= pixels; i += 64) {
        const __m512i words =
            _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
        const __m512i words_hi = _mm512_cvtepu8_epi16(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 32)));
        const __m512i parts[4] = {
            _mm512_cvtepu16_epi32(_mm512_castsi512_si256(words)),
            _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(words, 1)),
            _mm512_cvtepu16_epi32(_mm512_castsi512_si256(words_hi)),
            _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(words_hi, 1)),
        };
        for (int part = 0; part < 4; ++part)
            store_16_words<streaming>(dst + i + 16 * part, parts[part]);
    }
    if (streaming)
        _mm_sfence();
    return i;
}

template <bool streaming>
MEAN4_TARGET(AVX2)
static size_t widen_256(const uint8_t* src, uint32_t* dst, size_t pixels)
{
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16) {
        const __m256i words =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
        const __m256i lo = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(words));
        const __m256i hi = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(words, 1));
        store_8_words<streaming>(dst + i, lo);
        store_8_words<streaming>(dst + i + 8, hi);
    }
    if (streaming)
        _mm_sfence();
    return i;
}

// Any x86-64 processor: SSE2 is part of the baseline.
template <bool streaming> static size_t widen_128(const uint8_t* src, uint32_t* dst, size_t pixels)
{
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i lo = _mm_unpacklo_epi8(bytes, zero);
        const __m128i hi = _mm_unpackhi_epi8(bytes, zero);
        const __m128i parts[4] = {_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero),
                                  _mm_unpacklo_epi16(hi, zero), _mm_unpackhi_epi16(hi, zero)};
        for (int part = 0; part < 4; ++part) {
            auto* out = reinterpret_cast<__m128i*>(dst + i + 4 * part);
            if (streaming)
                _mm_stream_si128(out, parts[part]);
            else
                _mm_store_si128(out, parts[part]);
        }
    }
    if (streaming)
        _mm_sfence();
    return i;
}

std::span<const Mean4_stores> limit_store_kinds()
{
    static constexpr Mean4_stores kinds[] = {Mean4_stores::cached, Mean4_stores::streaming};
    return kinds;
}

void limit_pass(const uint8_t* src, uint32_t* dst, size_t pixels, Mean4_stores stores)
{
    const bool streaming = stores == Mean4_stores::streaming;
    size_t done;
    if (MEAN4_AVX512BW.supported())
        done = streaming ? widen_512<true>(src, dst, pixels) : widen_512<false>(src, dst, pixels);
    else if (MEAN4_AVX2.supported())
        done = streaming ? widen_256<true>(src, dst, pixels) : widen_256<false>(src, dst, pixels);
    else
        done = streaming ? widen_128<true>(src, dst, pixels) : widen_128<false>(src, dst, pixels);
    for (; done < pixels; ++done)
        dst[done] = src[done];
}

// Three rows ORed, 64 pixels a step, widened as the byte kernels widen; in
// `rows_at_once` result rows at each step, as the two-row kernels go.
template <bool streaming, size_t rows_at_once>
MEAN4_TARGET(AVX512BW)
static size_t three_rows_512(const uint8_t* row, size_t width, uint32_t* out)
{
    size_t x = 0;
    for (; x + 64 <= width; x += 64)
        for (size_t r = 0; r < rows_at_once; ++r) {
            const uint8_t* at = row + r * width + x;
            uint32_t* to = out + r * width + x;
            const __m512i bytes = _mm512_or_si512(
                _mm512_or_si512(_mm512_loadu_si512(at - width), _mm512_loadu_si512(at)),
                _mm512_loadu_si512(at + width));
            store_16_words<streaming>(to, _mm512_cvtepu8_epi32(_mm512_castsi512_si128(bytes)));
            store_16_words<streaming>(to + 16,
                                      _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(bytes, 1)));
            store_16_words<streaming>(to + 32,
                                      _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(bytes, 2)));
            store_16_words<streaming>(to + 48,
                                      _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(bytes, 3)));
        }
    return x;
}

// The same, 16 pixels a step.
template <bool streaming, size_t rows_at_once>
MEAN4_TARGET(AVX2)
static size_t three_rows_256(const uint8_t* row, size_t width, uint32_t* out)
{
    size_t x = 0;
    for (; x + 16 <= width; x += 16)
        for (size_t r = 0; r < rows_at_once; ++r) {
            const uint8_t* at = row + r * width + x;
            uint32_t* to = out + r * width + x;
            const __m128i bytes = _mm_or_si128(
                _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at - width)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(at))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + width)));
            store_8_words<streaming>(to, _mm256_cvtepu8_epi32(bytes));
            store_8_words<streaming>(to + 8, _mm256_cvtepu8_epi32(_mm_srli_si128(bytes, 8)));
        }
    return x;
}

enum class Vectors { none, v256, v512 };

// The widest vector step this processor has, over `rows_at_once` rows; none
// on a processor without AVX2, where the rows are left to scalar code.
template <bool streaming, Vectors vectors, size_t rows_at_once>
static size_t three_rows(const uint8_t* row, size_t width, uint32_t* out)
{
    if constexpr (vectors == Vectors::v512)
        return three_rows_512<streaming, rows_at_once>(row, width, out);
    else if constexpr (vectors == Vectors::v256)
        return three_rows_256<streaming, rows_at_once>(row, width, out);
    return 0;
}

template <bool streaming, Vectors vectors>
static void interior(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                     size_t rows_per_pass)
{
    walk_pattern_rows(src, dst, width, height, rows_per_pass,
                      [](const uint8_t* row, uint32_t* out, size_t row_width, auto rows) {
                          return three_rows<streaming, vectors, decltype(rows)::value>(
                              row, row_width, out);
                      });
    if (streaming)
        _mm_sfence();
}

template <bool streaming>
static void interior_for(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                         size_t rows_per_pass)
{
    if (MEAN4_AVX512BW.supported())
        interior<streaming, Vectors::v512>(src, dst, width, height, rows_per_pass);
    else if (MEAN4_AVX2.supported())
        interior<streaming, Vectors::v256>(src, dst, width, height, rows_per_pass);
    else
        interior<streaming, Vectors::none>(src, dst, width, height, rows_per_pass);
}

void pattern_interior(const uint8_t* src, uint32_t* dst, size_t width, size_t height,
                      Mean4_stores stores, size_t rows_per_pass)
{
    if (stores == Mean4_stores::streaming)
        interior_for<true>(src, dst, width, height, rows_per_pass);
    else
        interior_for<false>(src, dst, width, height, rows_per_pass);
}
