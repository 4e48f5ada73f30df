// Every variant against an independent statement of the rule, on images chosen
// to expose the faults vector code is prone to: edges taken from the wrong
// row, words left unwritten or written outside the image, lane overflow, upper
// bits left set, and arguments that must be refused.
#include "filter_check.h"
#include "mean4.h"
#include "variants.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using filter_check::expected_result;
using filter_check::Guarded_result;
using filter_check::Image;
using filter_check::make_image;

Image random_image(int32_t width, int32_t height, uint32_t seed, size_t misalign = 0)
{
    std::mt19937 rng(seed);
    return make_image(
        width, height, [&](int, int) { return uint8_t(rng()); }, misalign);
}

testing::AssertionResult as_assertion(const std::string& difference)
{
    if (difference.empty())
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << difference;
}

// Runs `variant` on `image` into a fresh guarded result and checks every word.
testing::AssertionResult filters_exactly(const Explore_variant& variant, const Image& image)
{
    Guarded_result result(image.pixel_count());
    const int32_t status = variant.run(image.width, image.height, image.pixels(), result.image);
    if (status != MEAN4_OK)
        return testing::AssertionFailure()
               << "status " << status << " on " << image.width << " x " << image.height;
    return as_assertion(result.difference(expected_result(image), image.width));
}

std::vector<const Explore_variant*> every_variant()
{
    std::vector<const Explore_variant*> variants;
    for (const Explore_variant& variant : explore_variants())
        variants.push_back(&variant);
    return variants;
}

class Every_variant : public testing::TestWithParam<const Explore_variant*> {
  protected:
    void SetUp() override
    {
        if (!variant().supported())
            GTEST_SKIP() << "this processor lacks " << variant().kernel->isa.name;
    }

    const Explore_variant& variant() const
    {
        return *GetParam();
    }
};

TEST_P(Every_variant, MatchesTheRuleOnRandomImagesOfManySizes)
{
    // Widths are multiples of the vector variants' 16-pixel step; odd multiples
    // of 16 catch a kernel that assumes a wider step. Height 3 leaves one
    // interior row.
    uint32_t seed = 1;
    for (const int32_t width : {16, 32, 48, 80, 144})
        for (const int32_t height : {3, 4, 5, 9, 17}) {
            SCOPED_TRACE(testing::Message() << width << " x " << height << ", seed " << seed);
            EXPECT_TRUE(filters_exactly(variant(), random_image(width, height, seed++)));
        }
}

TEST_P(Every_variant, MatchesTheRuleWhateverTheSourcesOffsetFromA64ByteBoundary)
{
    // Source loads carry no alignment requirement: an aligned load slipped
    // into a kernel faults here, and a kernel that assumed an aligned row
    // start would read the wrong bytes.
    uint32_t seed = 500;
    for (size_t misalign = 0; misalign < 16; ++misalign)
        for (const int32_t width : {48, 80}) {
            SCOPED_TRACE(testing::Message() << width << " x 5, source " << misalign
                                            << " bytes past a 64-byte boundary");
            EXPECT_TRUE(filters_exactly(variant(), random_image(width, 5, seed++, misalign)));
        }
}

TEST_P(Every_variant, MatchesTheRuleOnImagesThatExposeKnownFaults)
{
    const struct {
        const char* name;
        uint8_t (*pixel)(int x, int y, int width, int height);
    } patterns[] = {
        // Every row starts at 255 and ends at 0, so a row's last pixel is far
        // from the next row's first: a neighbour taken across the seam shows.
        {"row seam",
         [](int x, int, int w, int) {
             return uint8_t(x == 0 ? 255 : x == w - 1 ? 0 : 100);
         }},
        {"all 255 (no 16-bit lane may overflow)", [](int, int, int, int) { return uint8_t(255); }},
        {"constant 0", [](int, int, int, int) { return uint8_t(0); }},
        {"constant 128", [](int, int, int, int) { return uint8_t(128); }},
        {"bright corners",
         [](int x, int y, int w, int h) {
             return uint8_t((x % (w - 1) == 0 && y % (h - 1) == 0) * 255);
         }},
        {"vertical stripes", [](int x, int, int, int) { return uint8_t(x % 2 * 255); }},
        {"horizontal stripes", [](int, int y, int, int) { return uint8_t(y % 2 * 255); }},
    };
    for (const auto& pattern : patterns)
        for (const int32_t width : {16, 48})
            for (const int32_t height : {3, 6}) {
                SCOPED_TRACE(testing::Message()
                             << pattern.name << ", " << width << " x " << height);
                const Image image = make_image(
                    width, height, [&](int x, int y) { return pattern.pixel(x, y, width, height); },
                    size_t(width + height) % 16);
                EXPECT_TRUE(filters_exactly(variant(), image));
            }
}

TEST_P(Every_variant, RefusesBadArgumentsInOrderAndWritesNothing)
{
    const Image image = random_image(32, 4, 5);
    const uint8_t* src = image.pixels();
    auto filter = [&](int32_t width, int32_t height, const uint8_t* source, uint32_t* result) {
        return variant().run(width, height, source, result);
    };
    Guarded_result result(image.pixel_count());
    uint32_t* dst = result.image;

    EXPECT_EQ(filter(32, 4, nullptr, dst), MEAN4_NULL_SOURCE);
    EXPECT_EQ(filter(0, 0, nullptr, nullptr), MEAN4_NULL_SOURCE);
    EXPECT_EQ(filter(0, 4, src, nullptr), MEAN4_NULL_RESULT);
    for (const auto& [w, h] : {std::pair{0, 4}, {32, 0}, {-16, 4}, {32, -3}, {INT32_MIN, 4}})
        EXPECT_EQ(filter(w, h, src, dst), MEAN4_BAD_GEOMETRY) << w << " x " << h;
    if (!variant().takes_any_size()) {
        // Widths off the 16-pixel step, and images without an interior row.
        for (const auto& [w, h] : {std::pair{8, 4}, {24, 4}, {31, 4}, {32, 2}, {1, 1}})
            EXPECT_EQ(filter(w, h, src, dst), MEAN4_BAD_GEOMETRY) << w << " x " << h;
        EXPECT_EQ(filter(24, 2, src, dst + 1), MEAN4_BAD_GEOMETRY) << "geometry before alignment";
        // Results off the boundary of the variant's aligned stores.
        for (const size_t misalign : {4, 8, 16, 32})
            if (misalign % mean4_result_alignment(*variant().kernel) != 0) {
                Guarded_result misaligned(image.pixel_count(), misalign);
                EXPECT_EQ(filter(32, 4, src, misaligned.image), MEAN4_MISALIGNED_RESULT)
                    << misalign;
                EXPECT_TRUE(as_assertion(misaligned.untouched()));
            }
    }
    EXPECT_TRUE(as_assertion(result.untouched()));
}

std::string variant_name(const testing::TestParamInfo<const Explore_variant*>& param_info)
{
    return param_info.param->name;
}

INSTANTIATE_TEST_SUITE_P(Registry, Every_variant, testing::ValuesIn(every_variant()), variant_name);

// The full image once per kernel, on one core: the all-core variants run the
// same kernels, and every band split is proved on the small images above.
class Every_kernel : public Every_variant {};

TEST_P(Every_kernel, MatchesTheRuleOnEveryWordOfTheBenchmarksImage)
{
    static const Image image = random_image(IMAGE_WIDTH, IMAGE_HEIGHT, 2024);
    static const std::vector<uint32_t> expected = expected_result(image);
    Guarded_result result(expected.size());
    ASSERT_EQ(variant().run(IMAGE_WIDTH, IMAGE_HEIGHT, image.pixels(), result.image), MEAN4_OK);
    EXPECT_TRUE(as_assertion(result.difference(expected, IMAGE_WIDTH)));
}

std::vector<const Explore_variant*> every_variant_on_one_core()
{
    std::vector<const Explore_variant*> variants;
    for (const Explore_variant* variant : every_variant())
        if (variant->cores == Cores::one)
            variants.push_back(variant);
    return variants;
}

INSTANTIATE_TEST_SUITE_P(Registry, Every_kernel, testing::ValuesIn(every_variant_on_one_core()),
                         variant_name);

TEST(AnySizeVariants, MatchTheRuleOnEverySizeDownToOnePixel)
{
    // The rule itself, by hand: 255 in a corner counts twice (510 / 4), once
    // in each of its two neighbours (255 / 4).
    const Image corner =
        make_image(16, 3, [](int x, int y) { return uint8_t(x + y == 0 ? 255 : 0); });
    std::vector<uint32_t> expected(16 * 3, 0);
    expected[0] = 127, expected[1] = 63, expected[16] = 63;
    EXPECT_EQ(expected_result(corner), expected);

    // Widths and heights of 1 and 2 make every pixel an edge or a corner.
    for (const Explore_variant& variant : explore_variants()) {
        if (!variant.takes_any_size() || !variant.supported())
            continue;
        uint32_t seed = 100;
        for (int32_t width = 1; width <= 19; ++width)
            for (int32_t height = 1; height <= 5; ++height) {
                SCOPED_TRACE(testing::Message()
                             << variant.name << ", " << width << " x " << height);
                EXPECT_TRUE(filters_exactly(variant, random_image(width, height, seed++)));
            }
    }
}

TEST(VectorVariants, EachOverwritesEveryWordTheOtherWrote)
{
    // The benchmark runs the wide variant into the buffer the narrow one filled
    // without clearing it; a word the second run skipped would keep the first
    // run's value. Filtering a different image second makes that visible.
    for (const bool wide : {false, true})
        if (!mean4_vector_supported(wide))
            GTEST_SKIP() << "this processor lacks " << mean4_program_kernel(wide).isa.name;
    const Image first = random_image(48, 6, 7);
    const Image second = random_image(48, 6, 8);
    for (const bool wide_first : {false, true}) {
        SCOPED_TRACE(wide_first ? "wide, then narrow" : "narrow, then wide");
        Guarded_result result(first.pixel_count());
        ASSERT_EQ(mean4_vector(48, 6, first.pixels(), result.image, wide_first), MEAN4_OK);
        ASSERT_EQ(mean4_vector(48, 6, second.pixels(), result.image, !wide_first), MEAN4_OK);
        EXPECT_TRUE(as_assertion(result.difference(expected_result(second), 48)));
    }
}

} // namespace
