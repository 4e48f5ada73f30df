// The benchmark's two row kernels. Each function carries its own instruction
// set (MEAN4_TARGET), so the rest of the program stays baseline x86-64 and
// can check the processor before either kernel runs.
//
// Both kernels widen bytes to 16-bit lanes: four pixels sum to at most
// 4 * 255 = 1020, so a lane never overflows, and the floor of the mean is a
// logical shift right by 2.
#include "kernels/mean4_kernels.h"
#include "mean4_simd_x86.h"

// Narrow kernel: eight pixels a step in 128-bit vectors (SSE4.1).
// Preconditions: width is a non-zero multiple of 8; rows >= 1; the readable
// margins (kernels/mean4_kernels.h), and the eight bytes that follow the
// last row besides; dst_row is 16-byte aligned.
// Rows come out finished, edge columns included.
//
// Each source byte of the row is loaded once; the horizontal neighbours come
// from moving lanes within the register, with one lane carried across each
// block boundary in each direction.
MEAN4_TARGET(SSE41)
void mean4_rows_128(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    const uint8_t* row = src_row;
    const uint8_t* above = src_row - width; // the row below is above + 2 * width
    const size_t below_offset = 2 * width;
    uint32_t* out = dst_row;
    const __m128i zero = _mm_setzero_si128();

    for (; rows != 0; --rows) {
        __m128i cur = load_8_pixels(row);
        // Column 0's left neighbour is the pixel itself (the left-edge clamp):
        // isolate lane 0 as the first carry.
        __m128i carry = _mm_srli_si128(_mm_slli_si128(cur, 14), 14);

        for (size_t remaining = width; remaining != 0; remaining -= 8) {
            // After the last block of a row these are the next row's first pixels.
            const __m128i next = load_8_pixels(row + 8);
            const __m128i right = _mm_srli_si128(cur, 2); // lane i = cur lane i+1
            const __m128i left = _mm_slli_si128(cur, 2);  // lane i = cur lane i-1
            // The two lanes the moves above leave empty: lane 0 gets the previous
            // block's last pixel (carried), lane 7 the next block's first pixel.
            const __m128i edge = _mm_add_epi16(carry, _mm_slli_si128(next, 14));
            const __m128i up = load_8_pixels(above);
            const __m128i down = load_8_pixels(above + below_offset);

            const __m128i sum = _mm_add_epi16(
                _mm_add_epi16(_mm_add_epi16(right, left), _mm_add_epi16(up, down)), edge);
            const __m128i mean = _mm_srli_epi16(sum, 2);

            carry = _mm_srli_si128(cur, 14); // this block's last pixel, moved to lane 0
            _mm_store_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(mean, zero));
            _mm_store_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(mean, zero));

            cur = next;
            row += 8;
            above += 8;
            out += 8;
        }

        // The last block took the next row's first pixel as the right neighbour
        // of the last column. Recompute that pixel with the pixel itself in its
        // place; the pointers already stand at the next row.
        const unsigned sum = row[-2] + row[-1] + above[-1] + above[below_offset - 1];
        out[-1] = sum >> 2;
    }
}

// Wide kernel: sixteen pixels a step in 256-bit vectors (AVX2), with the
// preconditions of rows_256_words (mean4_simd_x86.h). Both edge columns come
// out wrong: the caller must repair them.
MEAN4_TARGET(AVX2)
void mean4_rows_256(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_256_words<false, false>(src_row, width, dst_row, rows);
}
