/* The filter in C with AVX2 intrinsics, as a kernel outside mean4: sixteen
 * pixels a step in 16-bit lanes, the data flow of mean4's built-in "avx2"
 * row, in a shared object that mean4_check checks and mean4_explore
 * --kernel measures beside that row.
 *
 *   cc -O2 -fPIC -shared -I<mean4>/include mean4_avx2_c.c -o libavx2_c.so
 *
 * The function carries its own instruction set (a target attribute, not
 * -mavx2), so the object loads on any x86-64 and mean4 runs the kernel only
 * where the processor has AVX2, which the description names.
 *
 * Measured on an AMD EPYC, family 25 model 17 (Zen 4), on 2026-12-10, beside
 * the built-in avx2 row in one run: x_limit 1.819 against 1.818 at side 256,
 * 1.343 against 1.395 on the full image (docs/your-kernel.md). */
#include "mean4_kernel.h"

#include <immintrin.h>

/* Each row as if endless: the left neighbour of column 0 is the previous
 * row's last pixel, the right one of the last column the next row's first,
 * and mean4 repairs both edge columns afterwards (MEAN4_EDGES_REPAIRED).
 * Loading the row one byte to each side gives the horizontal neighbours
 * without moving lanes; the centre is never loaded. Four bytes sum to at most
 * 4 * 255 = 1020, which a 16-bit lane holds. */
__attribute__((target("avx2"))) static void avx2_rows(const uint8_t* src_row, size_t width,
                                                      uint32_t* dst_row, size_t rows)
{
    for (; rows != 0; --rows, src_row += width, dst_row += width)
        for (size_t x = 0; x < width; x += 16) {
            const uint8_t* at = src_row + x;
            const __m256i left = _mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(at - 1)));
            const __m256i right = _mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(at + 1)));
            const __m256i up = _mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(at - width)));
            const __m256i down =
                _mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(at + width)));
            const __m256i sum =
                _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(right, left), down), up);
            const __m256i mean = _mm256_srli_epi16(sum, 2);
            /* Widening reads the low 128-bit half: exchange the halves to
             * bring lanes 8-15 down for the second store. */
            const __m256i high = _mm256_permute2x128_si256(mean, mean, 0x01);
            _mm256_store_si256((__m256i*)(dst_row + x),
                               _mm256_cvtepu16_epi32(_mm256_castsi256_si128(mean)));
            _mm256_store_si256((__m256i*)(dst_row + x + 8),
                               _mm256_cvtepu16_epi32(_mm256_castsi256_si128(high)));
        }
}

static const struct mean4_kernel_description kernels[] = {
    {
        .name = "avx2",
        .rows = avx2_rows,
        .isa = "AVX2",
        .result_alignment = 32, /* the aligned 32-byte stores */
        .edges = MEAN4_EDGES_REPAIRED,
        .stores = MEAN4_STORES_CACHED,
        .flow = MEAN4_FLOW_WORDS,
        .rows_per_pass = 1,
        .cached_twin = 0,
    },
};

static const struct mean4_kernel_set set = {MEAN4_KERNEL_ABI, sizeof kernels / sizeof kernels[0],
                                            kernels};

const struct mean4_kernel_set* mean4_kernels(void)
{
    return &set;
}
