// What the AArch64 kernel files share, and the explorer's memory limits with
// them: the stores, the neighbours of a NEON step, and the NEON word-domain
// loop, which the program's kernel and the explorer's streaming one both
// run. NEON is part of every AArch64 processor, so none of it needs a target
// of its own. Internal linkage: every file gets its own copies.
#pragma once

#include <arm_neon.h>
#include <cstddef>
#include <cstdint>

// The helpers and steps that must melt into the loop that calls them.
#define MEAN4_ALWAYS_INLINE inline __attribute__((always_inline))

namespace {

// Sixteen result words at `out` (16-byte aligned), through the cache or
// streamed. STNP, the non-temporal store pair, has no intrinsic; it writes
// two registers of four words each without reading the line first.
template <bool streaming>
MEAN4_ALWAYS_INLINE void store_16_words(uint32_t* out, uint32x4_t w0, uint32x4_t w1, uint32x4_t w2,
                                        uint32x4_t w3)
{
    if constexpr (streaming) {
        asm volatile("stnp %q[w0], %q[w1], [%[out]]\n\t"
                     "stnp %q[w2], %q[w3], [%[out], #32]"
                     :
                     : [w0] "w"(w0), [w1] "w"(w1), [w2] "w"(w2), [w3] "w"(w3), [out] "r"(out)
                     : "memory");
    } else {
        vst1q_u32(out, w0);
        vst1q_u32(out + 4, w1);
        vst1q_u32(out + 8, w2);
        vst1q_u32(out + 12, w3);
    }
}

// Non-temporal stores may become visible out of order with later ones:
// order them before whoever reads the result learns that it is done.
inline void fence_streaming_stores()
{
    asm volatile("dmb ishst" ::: "memory");
}

// Sixteen 16-bit means as sixteen words at out.
template <bool streaming>
MEAN4_ALWAYS_INLINE void store_words(uint32_t* out, uint16x8_t low, uint16x8_t high)
{
    store_16_words<streaming>(out, vmovl_u16(vget_low_u16(low)), vmovl_high_u16(low),
                              vmovl_u16(vget_low_u16(high)), vmovl_high_u16(high));
}

// A step's left and right neighbours: the row loaded one byte to each side,
// the pixel itself standing in for the missing neighbour at the row's ends.
struct Neighbours {
    uint8x16_t left, right;
};

MEAN4_ALWAYS_INLINE Neighbours neighbours(const uint8_t* row, size_t x, size_t width)
{
    Neighbours n = {vld1q_u8(row + x - 1), vld1q_u8(row + x + 1)};
    if (x == 0)
        n.left = vsetq_lane_u8(row[0], n.left, 0);
    if (x + 16 == width)
        n.right = vsetq_lane_u8(row[width - 1], n.right, 15);
    return n;
}

// The word domain: NEON's widening add takes two bytes to a 16-bit lane in
// one instruction, where four pixels sum to at most 1020, so the neighbours
// are widened and added at once, the low eight and the high eight.
template <bool streaming>
inline void rows_neon_words(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows)
{
    for (; rows != 0; --rows, src_row += width, dst_row += width) {
        const uint8_t* row = src_row;
        const uint8_t* above = row - width;
        const uint8_t* below = row + width;
        for (size_t x = 0; x < width; x += 16) {
            const Neighbours n = neighbours(row, x, width);
            const uint8x16_t up = vld1q_u8(above + x);
            const uint8x16_t down = vld1q_u8(below + x);
            const uint16x8_t sum_low =
                vaddq_u16(vaddl_u8(vget_low_u8(n.left), vget_low_u8(n.right)),
                          vaddl_u8(vget_low_u8(up), vget_low_u8(down)));
            const uint16x8_t sum_high =
                vaddq_u16(vaddl_high_u8(n.left, n.right), vaddl_high_u8(up, down));
            store_words<streaming>(dst_row + x, vshrq_n_u16(sum_low, 2), vshrq_n_u16(sum_high, 2));
        }
    }
    if constexpr (streaming)
        fence_streaming_stores();
}

} // namespace
