// The AArch64 widening pass, with NEON, which every AArch64 processor has:
// 16 pixels a step, stored as 16 words through the cache or with STNP, as
// the NEON kernels store theirs.
#include "memory_limits.h"

#include "kernels/aarch64/mean4_simd_aarch64.h"

template <bool streaming> static size_t widen_neon(const uint8_t* src, uint32_t* dst, size_t pixels)
{
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16) {
        const uint8x16_t bytes = vld1q_u8(src + i);
        store_words<streaming>(dst + i, vmovl_u8(vget_low_u8(bytes)), vmovl_high_u8(bytes));
    }
    if constexpr (streaming)
        fence_streaming_stores();
    return i;
}

void limit_pass(const uint8_t* src, uint32_t* dst, size_t pixels, Mean4_stores stores)
{
    size_t done = stores == Mean4_stores::streaming ? widen_neon<true>(src, dst, pixels)
                                                    : widen_neon<false>(src, dst, pixels);
    for (; done < pixels; ++done)
        dst[done] = src[done];
}
