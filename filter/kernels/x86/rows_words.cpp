// Word-domain kernels that clamp the edge columns in registers rather than
// leaving them for the frame's repair pass: a repair after non-temporal
// stores would have to fetch the freshly written lines back from memory.
//
// Preconditions, as for rows_256_words (mean4_simd_x86.h): width is a
// non-zero multiple of 16; rows >= 1; the readable margins
// (kernels/mean4_kernels.h); dst_row is aligned to the kernel's store
// width. Bytes widen to 16-bit lanes, where four pixels sum to at most 1020.
#include "kernels/mean4_kernels.h"
#include "mean4_simd_x86.h"

// Sixteen pixels a step with AVX2, edges clamped, written with streaming
// stores: the program's wide kernel with this file's choices.
MEAN4_TARGET(AVX2)
void mean4_rows_avx2_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_256_words<true, true>(src_row, width, dst_row, rows);
}

namespace {

// Up to 32 pixels from p, zero-extended to 16-bit lanes; lanes outside the
// mask are zero and their bytes are not read. A full step takes a plain load:
// masked loads that cross a cache line, as the offset loads do, cost this
// kernel a third of its speed on the Zen 4 (family 25, model 17) it was tuned on.
MEAN4_TARGET(AVX512BW) inline __m512i load_32_pixels(const uint8_t* p, __mmask32 mask)
{
    if (mask == ~__mmask32(0))
        return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(mask, p));
}

// Thirty-two pixels of a step in 16-bit lanes, clamped at the row's ends as
// in rows_256_words, stored as words: the first `pixels` (16 or 32) only.
template <bool streaming>
MEAN4_TARGET(AVX512BW)
MEAN4_ALWAYS_INLINE void words_32(__m512i left, __m512i right, __m512i up, __m512i down,
                                  uint32_t* out, size_t pixels)
{
    const __m512i sum = _mm512_add_epi16(_mm512_add_epi16(left, right), _mm512_add_epi16(up, down));
    const __m512i mean = _mm512_srli_epi16(sum, 2);
    store_16_words<streaming>(out, _mm512_cvtepu16_epi32(_mm512_castsi512_si256(mean)));
    if (pixels == 32)
        store_16_words<streaming>(out + 16,
                                  _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(mean, 1)));
}

// Bytes 0..31 (half 0) or 32..63 (half 1) of a vector, zero-extended to
// 16-bit lanes.
MEAN4_TARGET(AVX512BW) MEAN4_ALWAYS_INLINE __m512i widen_half(__m512i bytes, int half)
{
    return _mm512_cvtepu8_epi16(half == 0 ? _mm512_castsi512_si256(bytes)
                                          : _mm512_extracti64x4_epi64(bytes, 1));
}

// Sixty-four pixels a step with AVX-512BW: each neighbour loaded once as 64
// bytes and widened in registers, half by half, rather than widened as it
// loads 32 pixels at a time, which takes twice the loads and half as many
// pixels an iteration. With streaming stores a kernel's distance from the
// streaming limit grows with its instructions per pixel (docs/design.md,
// "The streaming gap"). The rest of a row (16, 32 or 48 pixels) takes steps
// of 32 and 16 under a mask. dst_row is 64-byte aligned.
template <bool streaming>
MEAN4_TARGET(AVX512BW)
void rows_512_words(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    const uint8_t* row = src_row;
    const uint8_t* above = src_row - width;
    uint32_t* out = dst_row;

    for (; rows != 0; --rows) {
        const short first_pixel = row[0];
        const short last_pixel = row[width - 1];
        size_t x = 0;
        for (; x + 64 <= width; x += 64) {
            __m512i left = _mm512_loadu_si512(row + x - 1);
            __m512i right = _mm512_loadu_si512(row + x + 1);
            __m512i up = _mm512_loadu_si512(above + x);
            __m512i down = _mm512_loadu_si512(row + width + x);
            keep_in_register(left);
            keep_in_register(right);
            keep_in_register(up);
            keep_in_register(down);
            // The row below is the only one not yet in cache; a prefetch
            // past the image is harmless.
            _mm_prefetch(reinterpret_cast<const char*>(row + width + x + MEAN4_PREFETCH_AHEAD),
                         _MM_HINT_T0);
            for (int half = 0; half < 2; ++half) {
                __m512i left_words = widen_half(left, half);
                __m512i right_words = widen_half(right, half);
                if (half == 0 && x == 0)
                    left_words = _mm512_mask_set1_epi16(left_words, 1, first_pixel);
                if (half == 1 && x + 64 == width)
                    right_words =
                        _mm512_mask_set1_epi16(right_words, __mmask32(1) << 31, last_pixel);
                words_32<streaming>(left_words, right_words, widen_half(up, half),
                                    widen_half(down, half), out + x + 32 * size_t(half), 32);
            }
        }
        for (; x < width; x += 32) {
            const size_t step = width - x < 32 ? 16 : 32;
            const __mmask32 mask = step == 32 ? ~__mmask32(0) : __mmask32(0xFFFF);
            __m512i left = load_32_pixels(row + x - 1, mask);
            __m512i right = load_32_pixels(row + x + 1, mask);
            if (x == 0)
                left = _mm512_mask_set1_epi16(left, 1, first_pixel);
            if (x + step == width)
                right = _mm512_mask_set1_epi16(right, __mmask32(1) << (step - 1), last_pixel);
            words_32<streaming>(left, right, load_32_pixels(above + x, mask),
                                load_32_pixels(row + width + x, mask), out + x, step);
        }
        row += width;
        above += width;
        out += width;
    }
    if (streaming)
        _mm_sfence();
}

} // namespace

MEAN4_TARGET(AVX512BW)
void mean4_rows_avx512(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_512_words<false>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(AVX512BW)
void mean4_rows_avx512_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_512_words<true>(src_row, width, dst_row, rows);
}
