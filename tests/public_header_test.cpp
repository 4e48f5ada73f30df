// A caller that knows only mean4.h: the program's two x86-64 row kernels are
// declared there, and run in a frame of the caller's own match the reference
// wherever each promises to (mean4_rows_256 leaves the edge columns).
#include "mean4.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

#if defined(__x86_64__) || defined(_M_X64)
namespace {

TEST(Public_header, TheProgramsRowKernelsRunInACallersOwnFrame)
{
    constexpr int32_t width = 48, height = 5;
    std::vector<uint8_t> src(width * height + 2); // a byte either side is read
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = uint8_t(i * 37 % 251);
    const uint8_t* image = src.data() + 1;
    std::vector<uint32_t> expected(width * height);
    ASSERT_EQ(mean4_reference(width, height, image, expected.data()), MEAN4_OK);

    for (const bool wide : {false, true}) {
        if (!mean4_vector_supported(wide))
            continue;
        SCOPED_TRACE(wide ? "mean4_rows_256" : "mean4_rows_128");
        auto* dst =
            static_cast<uint32_t*>(::operator new[](width* height * 4, std::align_val_t{32}));
        std::fill_n(dst, width * height, 0xA5A5A5A5u);
        (wide ? mean4_rows_256 : mean4_rows_128)(image + width, width, dst + width, height - 2);
        const int32_t edge = wide ? 1 : 0;
        for (int32_t y = 1; y + 1 < height; ++y)
            for (int32_t x = edge; x < width - edge; ++x)
                ASSERT_EQ(dst[y * width + x], expected[y * width + x]) << x << ", " << y;
        // Nothing outside the rows asked for.
        EXPECT_EQ(dst[width - 1], 0xA5A5A5A5u);
        EXPECT_EQ(dst[(height - 1) * width], 0xA5A5A5A5u);
        ::operator delete[](dst, std::align_val_t{32});
    }
}

} // namespace
#endif
