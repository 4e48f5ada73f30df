// The identity behind the byte-domain kernels, proved over every input: the
// floor of the mean of four bytes from byte averages alone,
//     u = avg(a, b), v = avg(c, d),
//     floor((a + b + c + d) / 4) = avg(u, v) - (((u ^ v) | (a ^ b) | (c ^ d)) & 1),
// where avg is the byte-average instruction, (x + y + 1) >> 1.
#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr unsigned byte_average(unsigned x, unsigned y)
{
    return (x + y + 1) >> 1;
}

// The right-hand side depends on a and b only through a + b, and on c and d
// only through c + d: avg(a, b) is (a + b) halved and rounded up, and
// (a ^ b) & 1 is the parity of a + b. So the test below, over every pair of
// pair sums, covers all 2^32 quadruples.
constexpr bool each_pair_reduces_to_its_sum()
{
    for (unsigned a = 0; a < 256; ++a)
        for (unsigned b = 0; b < 256; ++b)
            if (byte_average(a, b) != (a + b + 1) / 2 || ((a ^ b) & 1) != ((a + b) & 1))
                return false;
    return true;
}
static_assert(each_pair_reduces_to_its_sum());

TEST(Byte_mean, HoldsForEveryPairOfPairSums)
{
    // Every a + b and c + d in 0 .. 510, and so every (a, b, c, d). No step
    // leaves the byte range.
    for (unsigned ab = 0; ab <= 510; ++ab)
        for (unsigned cd = 0; cd <= 510; ++cd) {
            const unsigned u = (ab + 1) / 2, p = ab & 1;
            const unsigned v = (cd + 1) / 2, q = cd & 1;
            const unsigned mean = byte_average(u, v) - (((u ^ v) | p | q) & 1);
            ASSERT_EQ(mean, (ab + cd) / 4) << "a + b = " << ab << ", c + d = " << cd;
            ASSERT_LE(mean, 255u);
        }
}

} // namespace
