// The byte-domain kernels: the mean is computed in 8-bit lanes, and only the
// result is widened to words. Four bytes do not fit a byte lane, but the byte
// average (avg, which rounds up) gets there exactly: with u = avg(a, b) and
// v = avg(c, d), a + b + c + d = 2u + 2v - p - q, where p and q are the
// parities of a + b and c + d. So the floor of the mean is avg(u, v), less one
// where u + v is odd or either pair's sum was:
//     avg(u, v) - (((u ^ v) | (a ^ b) | (c ^ d)) & 1)
// (tests/byte_mean_test.cpp proves it for every input). That is ten
// operations per vector of pixels (eight with AVX-512's ternary logic), where
// the word domain widens all four neighbours and works on twice the vectors.
//
// The *_2rows kernels compute result rows y and y + 1 in one pass, a step of
// each at the same x, from source rows y - 1 .. y + 2. They load the same
// vectors as two one-row passes, but while they are hot: each source line is
// read in two passes instead of three, so a line the caches cannot keep
// across a pass comes from the next level twice rather than three times.
//
// Preconditions: width is a non-zero multiple of 16; for the row kernels,
// rows >= 1 and the rows of the readable margins (kernels/mean4_kernels.h),
// though not the bytes beside them; the result is aligned to the store
// width (32 or 64 bytes). They read nothing outside the rows they are given
// and their neighbour rows.
#include "kernels/mean4_kernels.h"
#include "mean4_simd_x86.h"

namespace {

MEAN4_TARGET(AVX2) inline __m256i mean_of_bytes(__m256i a, __m256i b, __m256i c, __m256i d)
{
    const __m256i u = _mm256_avg_epu8(a, b);
    const __m256i v = _mm256_avg_epu8(c, d);
    const __m256i odd = _mm256_or_si256(
        _mm256_or_si256(_mm256_xor_si256(u, v), _mm256_xor_si256(a, b)), _mm256_xor_si256(c, d));
    return _mm256_sub_epi8(_mm256_avg_epu8(u, v), _mm256_and_si256(odd, _mm256_set1_epi8(1)));
}

MEAN4_TARGET(AVX2) inline __m128i mean_of_bytes(__m128i a, __m128i b, __m128i c, __m128i d)
{
    const __m128i u = _mm_avg_epu8(a, b);
    const __m128i v = _mm_avg_epu8(c, d);
    const __m128i odd =
        _mm_or_si128(_mm_or_si128(_mm_xor_si128(u, v), _mm_xor_si128(a, b)), _mm_xor_si128(c, d));
    return _mm_sub_epi8(_mm_avg_epu8(u, v), _mm_and_si128(odd, _mm_set1_epi8(1)));
}

// The two ORs and the AND become two ternary-logic operations.
MEAN4_TARGET(AVX512BW) inline __m512i mean_of_bytes(__m512i a, __m512i b, __m512i c, __m512i d)
{
    const __m512i u = _mm512_avg_epu8(a, b);
    const __m512i v = _mm512_avg_epu8(c, d);
    // Truth tables over the three operands A, B, C: 0xF0, 0xCC and 0xAA.
    const __m512i odd_uv_or_ab =
        _mm512_ternarylogic_epi32(u, v, _mm512_xor_si512(a, b), (0xF0 ^ 0xCC) | 0xAA);
    const __m512i odd = _mm512_ternarylogic_epi32(odd_uv_or_ab, _mm512_xor_si512(c, d),
                                                  _mm512_set1_epi8(1), (0xF0 | 0xCC) & 0xAA);
    return _mm512_sub_epi8(_mm512_avg_epu8(u, v), odd);
}

MEAN4_TARGET(AVX2) inline __m128i load_16(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

MEAN4_TARGET(AVX2) inline __m256i load_32(const uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Where a step lies in its row. The first and the last step supply the edge
// pixel's missing neighbour, the pixel itself; a row of one step does both.
enum class Step { first, middle, last, only };

constexpr bool starts_row(Step step)
{
    return step == Step::first || step == Step::only;
}

constexpr bool ends_row(Step step)
{
    return step == Step::last || step == Step::only;
}

// Whether the bytes just before and after a row may be read. Inside an image
// they are the adjacent rows' pixels; the frame's top and bottom rows may be
// the first and last bytes of the caller's buffer.
enum class Beside_row { readable, unreadable };

// --- AVX2: 32 pixels a step ---------------------------------------------------
//
// A step's left and right neighbours are the row loaded one byte to each
// side. Where the byte before the row may not be read, the first step's left
// neighbours come from the centre moved up one byte, and the first pixel
// stands in for its own missing neighbour; likewise for the right neighbours
// in the last step.

// 32 bytes of means as 32 words at out: zero-extended a quarter at a time.
template <bool streaming>
MEAN4_TARGET(AVX2)
inline void store_32_words(uint32_t* out, __m256i means)
{
    const __m128i low = _mm256_castsi256_si128(means);
    const __m128i high = _mm256_extracti128_si256(means, 1);
    store_8_words<streaming>(out, _mm256_cvtepu8_epi32(low));
    store_8_words<streaming>(out + 8, _mm256_cvtepu8_epi32(_mm_srli_si128(low, 8)));
    store_8_words<streaming>(out + 16, _mm256_cvtepu8_epi32(high));
    store_8_words<streaming>(out + 24, _mm256_cvtepu8_epi32(_mm_srli_si128(high, 8)));
}

// A step's left and right neighbours.
struct Beside_256 {
    __m256i left, right;
};

// A step's left and right neighbours: the row loaded one byte to each side,
// the edge pixel put in place of the byte beyond the row; or, where that
// byte may not be read, the centre moved along by one byte.
template <Step step, Beside_row beside>
MEAN4_TARGET(AVX2)
MEAN4_ALWAYS_INLINE Beside_256 neighbours_256(const uint8_t* row)
{
    constexpr bool left_from_centre = beside == Beside_row::unreadable && starts_row(step);
    constexpr bool right_from_centre = beside == Beside_row::unreadable && ends_row(step);
    const __m256i centre = left_from_centre || right_from_centre ? load_32(row) : __m256i{};
    __m256i left, right;
    // Bytes 16..31 of the centre moved to the low lane, zero above, and the
    // reverse: what the one-byte shifts across the lanes bring in.
    if constexpr (left_from_centre) {
        const __m256i low_lane_up = _mm256_permute2x128_si256(centre, centre, 0x08);
        left = _mm256_or_si256(_mm256_alignr_epi8(centre, low_lane_up, 15),
                               _mm256_setr_epi32(row[0], 0, 0, 0, 0, 0, 0, 0));
    } else {
        left = load_32(row - 1);
        if constexpr (starts_row(step))
            left = _mm256_insert_epi8(left, static_cast<char>(row[0]), 0);
    }
    if constexpr (right_from_centre) {
        const __m256i high_lane_down = _mm256_permute2x128_si256(centre, centre, 0x81);
        right = _mm256_insert_epi8(_mm256_alignr_epi8(high_lane_down, centre, 1),
                                   static_cast<char>(row[31]), 31);
    } else {
        right = load_32(row + 1);
        if constexpr (ends_row(step))
            right = _mm256_insert_epi8(right, static_cast<char>(row[31]), 31);
    }
    return {left, right};
}

// A step of `rows_at_once` result rows at the same x, the second (if any)
// the row below, `width` further on in source and result.
template <bool streaming, Step step, Beside_row beside, size_t rows_at_once>
MEAN4_TARGET(AVX2)
MEAN4_ALWAYS_INLINE void step_256(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                  uint32_t* out, size_t width)
{
    auto [left, right] = neighbours_256<step, beside>(row);
    __m256i up = load_32(above);
    __m256i down = load_32(below);
    keep_in_register(left);
    keep_in_register(right);
    keep_in_register(up);
    keep_in_register(down);
    // The row below, the one input not already in the cache.
    _mm_prefetch(reinterpret_cast<const char*>(below + MEAN4_PREFETCH_AHEAD), _MM_HINT_T0);
    store_32_words<streaming>(out, mean_of_bytes(left, right, up, down));
    if constexpr (rows_at_once == 2)
        step_256<streaming, step, beside, 1>(row, below, below + width, out + width, width);
}

// A row's last 16 pixels, when its width is an odd multiple of 16.
template <bool streaming, Step step, size_t rows_at_once>
MEAN4_TARGET(AVX2)
inline void half_step_256(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                          uint32_t* out, size_t width)
{
    const __m128i left =
        starts_row(step) ? _mm_or_si128(_mm_slli_si128(load_16(row), 1), _mm_cvtsi32_si128(row[0]))
                         : load_16(row - 1);
    const __m128i right = _mm_insert_epi8(_mm_srli_si128(load_16(row), 1), row[15], 15);
    const __m128i means = mean_of_bytes(left, right, load_16(above), load_16(below));
    store_8_words<streaming>(out, _mm256_cvtepu8_epi32(means));
    store_8_words<streaming>(out + 8, _mm256_cvtepu8_epi32(_mm_srli_si128(means, 8)));
    if constexpr (rows_at_once == 2)
        half_step_256<streaming, step, 1>(row, below, below + width, out + width, width);
}

// One result row, or two (rows_at_once), the second the row below.
template <bool streaming, Beside_row beside, size_t rows_at_once = 1>
MEAN4_TARGET(AVX2)
inline void row_256(const uint8_t* above, const uint8_t* row, const uint8_t* below, size_t width,
                    uint32_t* out)
{
    const size_t full_steps = width / 32;
    const bool half = width % 32 != 0;
    if (full_steps == 0) {
        half_step_256<streaming, Step::only, rows_at_once>(above, row, below, out, width);
        return;
    }
    if (full_steps == 1 && !half) {
        step_256<streaming, Step::only, beside, rows_at_once>(above, row, below, out, width);
        return;
    }
    step_256<streaming, Step::first, beside, rows_at_once>(above, row, below, out, width);
    const size_t last = half ? 32 * full_steps : 32 * (full_steps - 1);
    size_t x = 32;
    for (; x < last; x += 32)
        step_256<streaming, Step::middle, beside, rows_at_once>(above + x, row + x, below + x,
                                                                out + x, width);
    if (half)
        half_step_256<streaming, Step::last, rows_at_once>(above + x, row + x, below + x, out + x,
                                                           width);
    else
        step_256<streaming, Step::last, beside, rows_at_once>(above + x, row + x, below + x,
                                                              out + x, width);
}

template <bool streaming, size_t rows_at_once>
MEAN4_TARGET(AVX2)
void rows_256_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    for (; rows >= rows_at_once;
         rows -= rows_at_once, src_row += rows_at_once * width, dst_row += rows_at_once * width)
        row_256<streaming, Beside_row::readable, rows_at_once>(src_row - width, src_row,
                                                               src_row + width, width, dst_row);
    // The last of an odd number of rows in two-row passes, on its own.
    if (rows != 0)
        row_256<streaming, Beside_row::readable>(src_row - width, src_row, src_row + width, width,
                                                 dst_row);
    if (streaming)
        _mm_sfence();
}

// --- AVX-512BW: 64 pixels a step ----------------------------------------------
//
// The neighbours as in the AVX2 kernel; a width that is not a multiple of 64
// ends in a step of 16, 32 or 48 pixels under a mask. Full steps take plain
// loads: masked loads that cross a cache line, as the offset loads do, are
// slow on the Zen 4 (family 25, model 17) these kernels were tuned on.

// A step's first `pixels` bytes from `at`: a plain load for a full step,
// a masked one at the end of a row that is not a multiple of 64.
template <Step step>
MEAN4_TARGET(AVX512BW)
MEAN4_ALWAYS_INLINE __m512i load_step(const uint8_t* at, size_t pixels)
{
    if (ends_row(step) && pixels != 64)
        return _mm512_maskz_loadu_epi8((__mmask64(1) << pixels) - 1, at);
    return _mm512_loadu_si512(at);
}

struct Beside_512 {
    __m512i left, right;
};

// The neighbours as neighbours_256 makes them, for a step of `pixels`.
template <Step step, Beside_row beside>
MEAN4_TARGET(AVX512BW)
MEAN4_ALWAYS_INLINE Beside_512 neighbours_512(const uint8_t* row, size_t pixels)
{
    constexpr bool left_from_centre = beside == Beside_row::unreadable && starts_row(step);
    constexpr bool right_from_centre = beside == Beside_row::unreadable && ends_row(step);
    const __m512i centre =
        left_from_centre || right_from_centre ? load_step<step>(row, pixels) : __m512i{};
    const __m512i zero = _mm512_setzero_si512();
    __m512i left, right;
    if constexpr (left_from_centre) {
        // The centre one byte up, across the 128-bit lanes: lane l of
        // lanes_up is lane l - 1 of the centre.
        const __m512i lanes_up = _mm512_alignr_epi64(centre, zero, 6);
        left = _mm512_mask_set1_epi8(_mm512_alignr_epi8(centre, lanes_up, 15), 1,
                                     static_cast<char>(row[0]));
    } else {
        left = load_step<step>(row - 1, pixels);
        if constexpr (starts_row(step))
            left = _mm512_mask_set1_epi8(left, 1, static_cast<char>(row[0]));
    }
    if constexpr (right_from_centre) {
        const __m512i lanes_down = _mm512_alignr_epi64(zero, centre, 2);
        right =
            _mm512_mask_set1_epi8(_mm512_alignr_epi8(lanes_down, centre, 1),
                                  __mmask64(1) << (pixels - 1), static_cast<char>(row[pixels - 1]));
    } else {
        right = load_step<step>(row + 1, pixels);
        if constexpr (ends_row(step))
            right = _mm512_mask_set1_epi8(right, __mmask64(1) << (pixels - 1),
                                          static_cast<char>(row[pixels - 1]));
    }
    return {left, right};
}

// A step of `pixels` in `rows_at_once` result rows, as step_256.
template <bool streaming, Step step, Beside_row beside, size_t rows_at_once>
MEAN4_TARGET(AVX512BW)
MEAN4_ALWAYS_INLINE void step_512(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                  uint32_t* out, size_t pixels, size_t width)
{
    auto [left, right] = neighbours_512<step, beside>(row, pixels);
    __m512i up = load_step<step>(above, pixels);
    __m512i down = load_step<step>(below, pixels);
    keep_in_register(left);
    keep_in_register(right);
    keep_in_register(up);
    keep_in_register(down);
    _mm_prefetch(reinterpret_cast<const char*>(below + MEAN4_PREFETCH_AHEAD), _MM_HINT_T0);
    const __m512i means = mean_of_bytes(left, right, up, down);

    const bool partial = ends_row(step) && pixels != 64;
    store_16_words<streaming>(out, _mm512_cvtepu8_epi32(_mm512_castsi512_si128(means)));
    if (!partial || pixels > 16)
        store_16_words<streaming>(out + 16,
                                  _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(means, 1)));
    if (!partial || pixels > 32)
        store_16_words<streaming>(out + 32,
                                  _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(means, 2)));
    if (!partial || pixels > 48)
        store_16_words<streaming>(out + 48,
                                  _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(means, 3)));
    if constexpr (rows_at_once == 2)
        step_512<streaming, step, beside, 1>(row, below, below + width, out + width, pixels, width);
}

template <bool streaming, Beside_row beside, size_t rows_at_once = 1>
MEAN4_TARGET(AVX512BW)
inline void row_512(const uint8_t* above, const uint8_t* row, const uint8_t* below, size_t width,
                    uint32_t* out)
{
    const size_t full_steps = width / 64;
    const size_t rest = width % 64;
    if (full_steps == 0) {
        step_512<streaming, Step::only, beside, rows_at_once>(above, row, below, out, rest, width);
        return;
    }
    if (full_steps == 1 && rest == 0) {
        step_512<streaming, Step::only, beside, rows_at_once>(above, row, below, out, 64, width);
        return;
    }
    step_512<streaming, Step::first, beside, rows_at_once>(above, row, below, out, 64, width);
    const size_t last = rest != 0 ? 64 * full_steps : 64 * (full_steps - 1);
    size_t x = 64;
    for (; x < last; x += 64)
        step_512<streaming, Step::middle, beside, rows_at_once>(above + x, row + x, below + x,
                                                                out + x, 64, width);
    step_512<streaming, Step::last, beside, rows_at_once>(above + x, row + x, below + x, out + x,
                                                          rest != 0 ? rest : 64, width);
}

template <bool streaming, size_t rows_at_once>
MEAN4_TARGET(AVX512BW)
void rows_512_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    for (; rows >= rows_at_once;
         rows -= rows_at_once, src_row += rows_at_once * width, dst_row += rows_at_once * width)
        row_512<streaming, Beside_row::readable, rows_at_once>(src_row - width, src_row,
                                                               src_row + width, width, dst_row);
    if (rows != 0)
        row_512<streaming, Beside_row::readable>(src_row - width, src_row, src_row + width, width,
                                                 dst_row);
    if (streaming)
        _mm_sfence();
}

} // namespace

MEAN4_TARGET(AVX2)
void mean4_rows_avx2_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_256_bytes<false, 1>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(AVX2)
void mean4_rows_avx2_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                 size_t rows)
{
    rows_256_bytes<false, 2>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(AVX2)
void mean4_rows_avx2_bytes_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                  size_t rows)
{
    rows_256_bytes<true, 1>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(AVX2)
void mean4_rows_avx2_bytes_2rows_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                        size_t rows)
{
    rows_256_bytes<true, 2>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(AVX512BW)
void mean4_rows_avx512_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_512_bytes<false, 1>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(AVX512BW)
void mean4_rows_avx512_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                   size_t rows)
{
    rows_512_bytes<false, 2>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(AVX512BW)
void mean4_rows_avx512_bytes_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                    size_t rows)
{
    rows_512_bytes<true, 1>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(AVX512BW)
void mean4_rows_avx512_bytes_2rows_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                          size_t rows)
{
    rows_512_bytes<true, 2>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(AVX2)
void mean4_row_avx2_bytes(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                          size_t width, uint32_t* out)
{
    row_256<false, Beside_row::unreadable>(above, row, below, width, out);
}

MEAN4_TARGET(AVX2)
void mean4_row_avx2_bytes_stream(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                 size_t width, uint32_t* out)
{
    row_256<true, Beside_row::unreadable>(above, row, below, width, out);
    _mm_sfence();
}

MEAN4_TARGET(AVX512BW)
void mean4_row_avx512_bytes(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                            size_t width, uint32_t* out)
{
    row_512<false, Beside_row::unreadable>(above, row, below, width, out);
}

MEAN4_TARGET(AVX512BW)
void mean4_row_avx512_bytes_stream(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                   size_t width, uint32_t* out)
{
    row_512<true, Beside_row::unreadable>(above, row, below, width, out);
    _mm_sfence();
}
