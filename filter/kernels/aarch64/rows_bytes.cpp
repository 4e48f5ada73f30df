// The byte-domain kernels, for the explorer: the mean in 8-bit lanes, widened
// to words only at the store. Preconditions as for mean4_rows_neon and
// mean4_rows_sve (rows_neon_sve.cpp), whose edge handling each follows.
#include "kernels/mean4_kernels.h"
#include "mean4_simd_aarch64.h"

#include <arm_sve.h>

namespace {

// The byte domain, as in the x86 byte kernels: with u = avg(a, b) and
// v = avg(c, d), the floor of the mean is avg(u, v) less one where u + v or
// either pair's sum is odd. vrhaddq_u8 is the rounding average.
template <bool streaming>
MEAN4_ALWAYS_INLINE void step_neon_bytes(const uint8_t* row, size_t x, size_t width, uint32_t* out)
{
    const uint8x16_t one = vdupq_n_u8(1);
    const Neighbours n = neighbours(row, x, width);
    const uint8x16_t up = vld1q_u8(row - width + x);
    const uint8x16_t down = vld1q_u8(row + width + x);
    const uint8x16_t u = vrhaddq_u8(n.left, n.right);
    const uint8x16_t v = vrhaddq_u8(up, down);
    const uint8x16_t odd =
        vorrq_u8(vorrq_u8(veorq_u8(u, v), veorq_u8(n.left, n.right)), veorq_u8(up, down));
    const uint8x16_t means = vsubq_u8(vrhaddq_u8(u, v), vandq_u8(odd, one));
    store_words<streaming>(out + x, vmovl_u8(vget_low_u8(means)), vmovl_high_u8(means));
}

// `rows_at_once` result rows a pass, a step of each at the same x (see the
// x86 byte kernels); the last of an odd number of rows on its own.
template <bool streaming, size_t rows_at_once>
void rows_neon_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    for (; rows >= rows_at_once;
         rows -= rows_at_once, src_row += rows_at_once * width, dst_row += rows_at_once * width)
        for (size_t x = 0; x < width; x += 16)
            for (size_t r = 0; r < rows_at_once; ++r)
                step_neon_bytes<streaming>(src_row + r * width, x, width, dst_row + r * width);
    if (rows != 0)
        for (size_t x = 0; x < width; x += 16)
            step_neon_bytes<streaming>(src_row, x, width, dst_row);
    if constexpr (streaming)
        fence_streaming_stores();
}

// One SVE2 step of the byte domain: a whole vector of pixels, widened to
// words only for the four stores. The rounding average is URHADD, which
// SVE2 brought.
MEAN4_TARGET(SVE2)
MEAN4_ALWAYS_INLINE void step_sve2_bytes(const uint8_t* row, uint64_t x, size_t width,
                                         uint32_t* out)
{
    const uint64_t word_lanes = svcntw();
    const svbool_t in_row = svwhilelt_b8_u64(x, width);
    const svuint8_t left = svld1_u8(in_row, row + x - 1);
    const svuint8_t right = svld1_u8(in_row, row + x + 1);
    const svuint8_t up = svld1_u8(in_row, row - width + x);
    const svuint8_t down = svld1_u8(in_row, row + width + x);
    // The _x forms leave lanes outside the row undefined; every store
    // below is predicated, so none of them is ever written.
    const svuint8_t u = svrhadd_u8_x(in_row, left, right);
    const svuint8_t v = svrhadd_u8_x(in_row, up, down);
    const svuint8_t odd = svorr_u8_x(
        in_row, svorr_u8_x(in_row, sveor_u8_x(in_row, u, v), sveor_u8_x(in_row, left, right)),
        sveor_u8_x(in_row, up, down));
    const svuint8_t means =
        svsub_u8_x(in_row, svrhadd_u8_x(in_row, u, v), svand_n_u8_x(in_row, odd, 1));
    // Bytes to halves to words, a quarter of the vector per store.
    const svuint16_t low = svunpklo_u16(means), high = svunpkhi_u16(means);
    svst1_u32(svwhilelt_b32_u64(x, width), out + x, svunpklo_u32(low));
    svst1_u32(svwhilelt_b32_u64(x + word_lanes, width), out + x + word_lanes, svunpkhi_u32(low));
    svst1_u32(svwhilelt_b32_u64(x + 2 * word_lanes, width), out + x + 2 * word_lanes,
              svunpklo_u32(high));
    svst1_u32(svwhilelt_b32_u64(x + 3 * word_lanes, width), out + x + 3 * word_lanes,
              svunpkhi_u32(high));
}

template <size_t rows_at_once>
MEAN4_TARGET(SVE2)
void rows_sve2_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    const uint64_t lanes = svcntb();
    for (; rows >= rows_at_once;
         rows -= rows_at_once, src_row += rows_at_once * width, dst_row += rows_at_once * width)
        for (uint64_t x = 0; x < width; x += lanes)
            for (size_t r = 0; r < rows_at_once; ++r)
                step_sve2_bytes(src_row + r * width, x, width, dst_row + r * width);
    if (rows != 0)
        for (uint64_t x = 0; x < width; x += lanes)
            step_sve2_bytes(src_row, x, width, dst_row);
}

} // namespace

void mean4_rows_neon_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_neon_bytes<false, 1>(src_row, width, dst_row, rows);
}

void mean4_rows_neon_bytes_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                  size_t rows)
{
    rows_neon_bytes<true, 1>(src_row, width, dst_row, rows);
}

void mean4_rows_neon_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                 size_t rows)
{
    rows_neon_bytes<false, 2>(src_row, width, dst_row, rows);
}

void mean4_rows_neon_bytes_2rows_stream(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                        size_t rows)
{
    rows_neon_bytes<true, 2>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(SVE2)
void mean4_rows_sve2_bytes(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    rows_sve2_bytes<1>(src_row, width, dst_row, rows);
}

MEAN4_TARGET(SVE2)
void mean4_rows_sve2_bytes_2rows(const uint8_t* src_row, size_t width, uint32_t* dst_row,
                                 size_t rows)
{
    rows_sve2_bytes<2>(src_row, width, dst_row, rows);
}
