// Every variant against an independent statement of the rule, on images chosen
// to expose the faults vector code is prone to: edges taken from the wrong
// row, words left unwritten or written outside the image, lane overflow, upper
// bits left set, and arguments that must be refused.
#include "explore_variants.h"
#include "mean4.h"
#include "mean4_variants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

struct Image {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> pixels; // exactly width * height: a read past the end trips ASan
};

Image make_image(int32_t width, int32_t height, const std::function<uint8_t(int, int)>& pixel)
{
    Image image{width, height, std::vector<uint8_t>(size_t(width) * size_t(height))};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.pixels[size_t(y) * size_t(width) + size_t(x)] = pixel(x, y);
    return image;
}

Image random_image(int32_t width, int32_t height, uint32_t seed)
{
    std::mt19937 rng(seed);
    return make_image(width, height, [&](int, int) { return uint8_t(rng()); });
}

// The rule, written apart from the filter code: clamp each neighbour's
// coordinates into the image, so a missing neighbour becomes the pixel itself.
std::vector<uint32_t> expected_result(const Image& image)
{
    const int w = image.width, h = image.height;
    auto at = [&](int x, int y) {
        return int(image.pixels[size_t(std::clamp(y, 0, h - 1)) * size_t(w) +
                                size_t(std::clamp(x, 0, w - 1))]);
    };
    std::vector<uint32_t> expected(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            expected[size_t(y) * size_t(w) + size_t(x)] =
                uint32_t(at(x - 1, y) + at(x + 1, y) + at(x, y - 1) + at(x, y + 1)) / 4;
    return expected;
}

// Upper bits set, so that a word the filter leaves unwritten, or writes only
// in part, cannot pass for a result.
constexpr uint32_t SENTINEL = 0xA5A5A5A5;
constexpr size_t GUARD_WORDS = 16;

// A result image pre-filled with SENTINEL, with guard words on both sides,
// starting `misalign` bytes past a 64-byte boundary.
struct Guarded_result {
    explicit Guarded_result(size_t image_words, size_t misalign = 0)
        : storage(image_words + 4 * GUARD_WORDS, SENTINEL), words(image_words)
    {
        const auto address = reinterpret_cast<uintptr_t>(storage.data() + GUARD_WORDS);
        image = storage.data() + GUARD_WORDS + ((64 - address % 64) % 64 + misalign) / 4;
    }

    // The image equals `expected` and every word around it is still SENTINEL.
    testing::AssertionResult holds(const std::vector<uint32_t>& expected, int32_t width) const
    {
        for (const uint32_t& word : storage)
            if ((&word < image || &word >= image + words) && word != SENTINEL)
                return testing::AssertionFailure()
                       << "the word at " << &word - image << " from the image start, outside it, "
                       << "was overwritten with " << word;
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < words; ++i)
            if (image[i] != expected[i] && differing++ == 0)
                first = i;
        if (differing == 0)
            return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << differing << " words differ; the first at (x=" << first % size_t(width)
               << ", y=" << first / size_t(width) << "): expected " << expected[first] << ", got 0x"
               << std::hex << image[first];
    }

    testing::AssertionResult untouched() const
    {
        return holds(std::vector<uint32_t>(words, SENTINEL), 1);
    }

    std::vector<uint32_t> storage;
    size_t words;
    uint32_t* image;
};

// Runs `variant` on `image` into a fresh guarded result and checks every word.
testing::AssertionResult filters_exactly(const Mean4_variant& variant, const Image& image)
{
    Guarded_result result(image.pixels.size());
    const int32_t status =
        variant.filter(image.width, image.height, image.pixels.data(), result.image);
    if (status != MEAN4_OK)
        return testing::AssertionFailure()
               << "status " << status << " on " << image.width << " x " << image.height;
    return result.holds(expected_result(image), image.width);
}

std::vector<const Mean4_variant*> benchmark_variants()
{
    std::vector<const Mean4_variant*> variants;
    for (const Mean4_variant& variant : MEAN4_VARIANTS)
        variants.push_back(&variant);
    return variants;
}

std::vector<const Mean4_variant*> explorer_variants()
{
    std::vector<const Mean4_variant*> variants;
    for (const Explore_variant& explore : EXPLORE_VARIANTS)
        variants.push_back(&explore.variant);
    return variants;
}

std::vector<const Mean4_variant*> operator+(std::vector<const Mean4_variant*> a,
                                            const std::vector<const Mean4_variant*>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Every_variant : public testing::TestWithParam<const Mean4_variant*> {
  protected:
    void SetUp() override
    {
        if (!variant().supported())
            GTEST_SKIP() << "this processor lacks " << variant().isa;
    }

    const Mean4_variant& variant() const
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
                const Image image = make_image(width, height, [&](int x, int y) {
                    return pattern.pixel(x, y, width, height);
                });
                EXPECT_TRUE(filters_exactly(variant(), image));
            }
}

TEST_P(Every_variant, RefusesBadArgumentsInOrderAndWritesNothing)
{
    const Image image = random_image(32, 4, 5);
    const uint8_t* src = image.pixels.data();
    const Mean4_filter filter = variant().filter;
    Guarded_result result(image.pixels.size());
    uint32_t* dst = result.image;

    EXPECT_EQ(filter(32, 4, nullptr, dst), MEAN4_NULL_SOURCE);
    EXPECT_EQ(filter(0, 0, nullptr, nullptr), MEAN4_NULL_SOURCE);
    EXPECT_EQ(filter(0, 4, src, nullptr), MEAN4_NULL_RESULT);
    for (const auto& [w, h] : {std::pair{0, 4}, {32, 0}, {-16, 4}, {32, -3}, {INT32_MIN, 4}})
        EXPECT_EQ(filter(w, h, src, dst), MEAN4_BAD_GEOMETRY) << w << " x " << h;
    if (!variant().takes_any_size) {
        // Widths off the 16-pixel step, and images without an interior row.
        for (const auto& [w, h] : {std::pair{8, 4}, {24, 4}, {31, 4}, {32, 2}, {1, 1}})
            EXPECT_EQ(filter(w, h, src, dst), MEAN4_BAD_GEOMETRY) << w << " x " << h;
        EXPECT_EQ(filter(24, 2, src, dst + 1), MEAN4_BAD_GEOMETRY) << "geometry before alignment";
        // Results off the boundary of the variant's aligned stores.
        for (const size_t misalign : {4, 8, 16, 32})
            if (misalign % variant().result_alignment != 0) {
                Guarded_result misaligned(image.pixels.size(), misalign);
                EXPECT_EQ(filter(32, 4, src, misaligned.image), MEAN4_MISALIGNED_RESULT)
                    << misalign;
                EXPECT_TRUE(misaligned.untouched());
            }
    }
    EXPECT_TRUE(result.untouched());
}

TEST_P(Every_variant, MatchesTheRuleOnEveryWordOfTheBenchmarksImage)
{
    static const Image image = random_image(IMAGE_WIDTH, IMAGE_HEIGHT, 2024);
    static const std::vector<uint32_t> expected = expected_result(image);
    Guarded_result result(expected.size());
    ASSERT_EQ(variant().filter(IMAGE_WIDTH, IMAGE_HEIGHT, image.pixels.data(), result.image),
              MEAN4_OK);
    EXPECT_TRUE(result.holds(expected, IMAGE_WIDTH));
}

std::string variant_name(const testing::TestParamInfo<const Mean4_variant*>& info)
{
    const std::string name = info.param->name;
    return name == "C++" ? "Reference" : name;
}

INSTANTIATE_TEST_SUITE_P(Filter, Every_variant, testing::ValuesIn(benchmark_variants()),
                         variant_name);
INSTANTIATE_TEST_SUITE_P(Explorer, Every_variant, testing::ValuesIn(explorer_variants()),
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
    for (const Mean4_variant* variant : benchmark_variants() + explorer_variants()) {
        if (!variant->takes_any_size || !variant->supported())
            continue;
        uint32_t seed = 100;
        for (int32_t width = 1; width <= 19; ++width)
            for (int32_t height = 1; height <= 5; ++height) {
                SCOPED_TRACE(testing::Message()
                             << variant->name << ", " << width << " x " << height);
                EXPECT_TRUE(filters_exactly(*variant, random_image(width, height, seed++)));
            }
    }
}

TEST(VectorVariants, EachOverwritesEveryWordTheOtherWrote)
{
    // The benchmark runs the wide variant into the buffer the narrow one filled
    // without clearing it; a word the second run skipped would keep the first
    // run's value. Filtering a different image second makes that visible.
    if (!mean4_vector_supported(false) || !mean4_vector_supported(true))
        GTEST_SKIP() << "this processor lacks SSE4.1 or AVX2";
    const Image first = random_image(48, 6, 7);
    const Image second = random_image(48, 6, 8);
    for (const bool wide_first : {false, true}) {
        SCOPED_TRACE(wide_first ? "wide, then narrow" : "narrow, then wide");
        Guarded_result result(first.pixels.size());
        ASSERT_EQ(mean4_vector(48, 6, first.pixels.data(), result.image, wide_first), MEAN4_OK);
        ASSERT_EQ(mean4_vector(48, 6, second.pixels.data(), result.image, !wide_first), MEAN4_OK);
        EXPECT_TRUE(result.holds(expected_result(second), 48));
    }
}

} // namespace
