// Word-domain kernels that clamp the edge columns in registers rather than
// leaving them for the frame's repair pass: a repair after non-temporal
// stores would have to fetch the freshly written lines back from memory.
//
// Preconditions, as for rows_256_words (mean4_simd_x86.h): width is a non-zero multiple of 16;
// rows >= 1; the row above the first row and the row below the last are
// readable, and so are the byte before the first row and the byte after the
// last (both are loaded, then replaced by the clamp); dst_row is aligned to
// the kernel's store width. Bytes widen to 16-bit lanes, where four pixels
// sum to at most 1020.
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
// kernel a third of its speed on the processor it was tuned on.
MEAN4_TARGET(AVX512BW) inline __m512i load_32_pixels(const uint8_t* p, __mmask32 mask)
{
    if (mask == ~__mmask32(0))
        return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(mask, p));
}

// Thirty-two pixels a step with AVX-512BW; a width that is an odd multiple of
// 16 ends in a half step under a mask. dst_row is 64-byte aligned.
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
        for (size_t x = 0; x < width; x += 32) {
            const size_t step = width - x < 32 ? 16 : 32;
            const __mmask32 mask = step == 32 ? ~__mmask32(0) : __mmask32(0xFFFF);
            __m512i left = load_32_pixels(row + x - 1, mask);
            __m512i right = load_32_pixels(row + x + 1, mask);
            // The clamp at the row's ends, as in rows_256_words.
            if (x == 0)
                left = _mm512_mask_set1_epi16(left, 1, first_pixel);
            if (x + step == width)
                right = _mm512_mask_set1_epi16(right, __mmask32(1) << (step - 1), last_pixel);
            // The row below is the only one not yet in cache. With streaming
            // stores the hardware prefetcher falls behind on it; asking 2 KiB
            // ahead brought this kernel from 1.24x to 1.08x the streaming
            // limit on the full image. A prefetch past the image is harmless.
            _mm_prefetch(reinterpret_cast<const char*>(row + width + x + 2048), _MM_HINT_T0);
            const __m512i up = load_32_pixels(above + x, mask);
            const __m512i down = load_32_pixels(row + width + x, mask);

            const __m512i sum =
                _mm512_add_epi16(_mm512_add_epi16(left, right), _mm512_add_epi16(up, down));
            const __m512i mean = _mm512_srli_epi16(sum, 2);
            store_16_words<streaming>(out + x, _mm512_cvtepu16_epi32(_mm512_castsi512_si256(mean)));
            if (step == 32)
                store_16_words<streaming>(
                    out + x + 16, _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(mean, 1)));
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
