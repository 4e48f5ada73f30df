// Every variant against an independent statement of the rule, on images chosen
// to expose the faults vector code is prone to: edges taken from the wrong
// row, words left unwritten or written outside the image, lane overflow, upper
// bits left set, and arguments that must be refused.
#include "mean4.h"
#include "mean4_variants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
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
// 64 bytes of guard words on each side keep the image 32-byte aligned.
constexpr size_t GUARD_WORDS = 16;

// A result image pre-filled with SENTINEL between guard words, optionally
// shifted off its alignment by a number of bytes (a multiple of 4).
class Guarded_result {
  public:
    explicit Guarded_result(size_t words, size_t misalign_bytes = 0)
        : words_(words), lead_(GUARD_WORDS + misalign_bytes / 4),
          total_(((lead_ + words + GUARD_WORDS) * 4 + 63) / 64 * 16),
          block_(static_cast<uint32_t*>(std::aligned_alloc(64, total_ * 4)), std::free)
    {
        std::fill_n(block_.get(), total_, SENTINEL);
    }

    uint32_t* image()
    {
        return block_.get() + lead_;
    }

    testing::AssertionResult guards_intact() const
    {
        for (size_t i = 0; i < total_; ++i) {
            const bool in_image = i >= lead_ && i < lead_ + words_;
            if (!in_image && block_[i] != SENTINEL)
                return testing::AssertionFailure()
                       << "word " << (long(i) - long(lead_)) << " relative to the image start, "
                       << "outside the image, was overwritten with " << block_[i];
        }
        return testing::AssertionSuccess();
    }

    testing::AssertionResult untouched() const
    {
        for (size_t i = 0; i < total_; ++i)
            if (block_[i] != SENTINEL)
                return testing::AssertionFailure()
                       << "word " << (long(i) - long(lead_)) << " was written on a refused call";
        return testing::AssertionSuccess();
    }

    testing::AssertionResult equals(const std::vector<uint32_t>& expected, int32_t width) const
    {
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < words_; ++i)
            if (block_[lead_ + i] != expected[i] && differing++ == 0)
                first = i;
        if (differing == 0)
            return guards_intact();
        return testing::AssertionFailure()
               << differing << " words differ; the first at (x=" << first % size_t(width)
               << ", y=" << first / size_t(width) << "): expected " << expected[first] << ", got 0x"
               << std::hex << block_[lead_ + first];
    }

  private:
    size_t words_, lead_, total_;
    std::unique_ptr<uint32_t[], void (*)(void*)> block_;
};

const Mean4_variant& variant_at(int index)
{
    return MEAN4_VARIANTS[index];
}

bool is_reference(const Mean4_variant& variant)
{
    return variant.filter == mean4_reference;
}

// Runs `variant` on `image` into a fresh guarded result and checks every word.
testing::AssertionResult filters_exactly(const Mean4_variant& variant, const Image& image)
{
    Guarded_result result(image.pixels.size());
    const int32_t status =
        variant.filter(image.width, image.height, image.pixels.data(), result.image());
    if (status != MEAN4_OK)
        return testing::AssertionFailure()
               << "status " << status << " on " << image.width << " x " << image.height;
    return result.equals(expected_result(image), image.width);
}

class Every_variant : public testing::TestWithParam<int> {
  protected:
    void SetUp() override
    {
        if (!variant().supported())
            GTEST_SKIP() << "this processor lacks " << variant().isa;
    }

    const Mean4_variant& variant() const
    {
        return variant_at(GetParam());
    }

    // Sizes every variant accepts: widths are multiples of 16 (the vector
    // variants' step), heights at least 3. Odd multiples of 8 and 16 catch a
    // kernel that assumes a wider step; height 3 leaves one interior row.
    static constexpr int32_t WIDTHS[] = {16, 32, 48, 80, 144};
    static constexpr int32_t HEIGHTS[] = {3, 4, 5, 9, 17};
};

TEST_P(Every_variant, MatchesTheRuleOnRandomImagesOfManySizes)
{
    uint32_t seed = 1;
    for (int32_t width : WIDTHS)
        for (int32_t height : HEIGHTS) {
            SCOPED_TRACE(testing::Message() << width << " x " << height << ", seed " << seed);
            EXPECT_TRUE(filters_exactly(variant(), random_image(width, height, seed++)));
        }
}

TEST_P(Every_variant, MatchesTheRuleOnImagesThatExposeKnownFaults)
{
    const struct {
        const char* name;
        std::function<uint8_t(int x, int y, int width)> pixel;
    } patterns[] = {
        // Every row starts at 255 and ends at 0, so a row's last pixel is far
        // from the next row's first: a neighbour taken across the seam shows.
        {"row seam",
         [](int x, int, int w) {
             return uint8_t(x == 0 ? 255 : x == w - 1 ? 0 : 100);
         }},
        {"all 255 (no 16-bit lane may overflow)", [](int, int, int) { return uint8_t(255); }},
        {"constant 0", [](int, int, int) { return uint8_t(0); }},
        {"constant 128", [](int, int, int) { return uint8_t(128); }},
        {"vertical stripes", [](int x, int, int) { return uint8_t(x % 2 ? 255 : 0); }},
        {"horizontal stripes", [](int, int y, int) { return uint8_t(y % 2 ? 255 : 0); }},
    };
    for (const auto& pattern : patterns)
        for (int32_t width : {16, 48})
            for (int32_t height : {3, 6}) {
                SCOPED_TRACE(testing::Message()
                             << pattern.name << ", " << width << " x " << height);
                const Image image = make_image(
                    width, height, [&](int x, int y) { return pattern.pixel(x, y, width); });
                EXPECT_TRUE(filters_exactly(variant(), image));
            }
}

TEST_P(Every_variant, BrightCornerReachesOnlyItsNeighbours)
{
    // 255 in one corner: the corner counts itself twice (510 / 4 = 127), its two
    // neighbours see it once (255 / 4 = 63), every other word is 0.
    const int32_t w = 32, h = 5;
    for (const auto& [cx, cy] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}}) {
        SCOPED_TRACE(testing::Message() << "bright corner at (" << cx << ", " << cy << ")");
        const Image image =
            make_image(w, h, [&](int x, int y) { return uint8_t(x == cx && y == cy ? 255 : 0); });
        Guarded_result result(image.pixels.size());
        ASSERT_EQ(variant().filter(w, h, image.pixels.data(), result.image()), MEAN4_OK);
        std::vector<uint32_t> expected(image.pixels.size(), 0);
        expected[size_t(cy * w + cx)] = 127;
        expected[size_t(cy * w + (cx == 0 ? 1 : cx - 1))] = 63;
        expected[size_t((cy == 0 ? 1 : cy - 1) * w + cx)] = 63;
        EXPECT_TRUE(result.equals(expected, w));
    }
}

TEST_P(Every_variant, IsAPureFunctionOfItsInput)
{
    const Image image = random_image(48, 7, 99);
    Guarded_result first(image.pixels.size()), second(image.pixels.size());
    ASSERT_EQ(variant().filter(48, 7, image.pixels.data(), first.image()), MEAN4_OK);
    ASSERT_EQ(variant().filter(48, 7, image.pixels.data(), second.image()), MEAN4_OK);
    EXPECT_TRUE(second.equals(std::vector<uint32_t>(first.image(), first.image() + 48 * 7), 48));
}

TEST_P(Every_variant, RefusesBadArgumentsInOrderAndWritesNothing)
{
    const Image image = random_image(32, 4, 5);
    const uint8_t* src = image.pixels.data();
    Guarded_result result(image.pixels.size());
    uint32_t* dst = result.image();
    const Mean4_filter filter = variant().filter;

    EXPECT_EQ(filter(32, 4, nullptr, dst), MEAN4_NULL_SOURCE);
    EXPECT_EQ(filter(32, 4, nullptr, nullptr), MEAN4_NULL_SOURCE);
    EXPECT_EQ(filter(0, 0, nullptr, nullptr), MEAN4_NULL_SOURCE);
    EXPECT_EQ(filter(32, 4, src, nullptr), MEAN4_NULL_RESULT);
    EXPECT_EQ(filter(0, 4, src, nullptr), MEAN4_NULL_RESULT);

    // Sizes no variant takes.
    for (const auto& [w, h] : {std::pair{0, 4}, {32, 0}, {-16, 4}, {32, -3}, {INT32_MIN, 4}})
        EXPECT_EQ(filter(w, h, src, dst), MEAN4_BAD_GEOMETRY) << w << " x " << h;
    if (!is_reference(variant())) {
        // Widths off the 16-pixel step and images without an interior row.
        for (const auto& [w, h] : {std::pair{8, 4}, {24, 4}, {31, 4}, {32, 2}, {32, 1}, {1, 1}})
            EXPECT_EQ(filter(w, h, src, dst), MEAN4_BAD_GEOMETRY) << w << " x " << h;
        EXPECT_EQ(filter(24, 2, src, dst + 1), MEAN4_BAD_GEOMETRY) << "geometry before alignment";
    }
    EXPECT_TRUE(result.untouched());
}

TEST_P(Every_variant, HandlesOrRefusesAMisalignedResult)
{
    // The vector variants store whole aligned vectors: 16 bytes narrow, 32 wide.
    // A result off that alignment must be refused, not fault; the reference
    // stores single words and takes any word-aligned result.
    const Image image = random_image(32, 4, 6);
    const bool wide = variant().isa != nullptr && std::string(variant().isa) == "AVX2";
    for (size_t misalign : {size_t{4}, size_t{8}, size_t{16}}) {
        SCOPED_TRACE(testing::Message() << "result " << misalign << " bytes off 32-byte alignment");
        Guarded_result result(image.pixels.size(), misalign);
        const int32_t status = variant().filter(32, 4, image.pixels.data(), result.image());
        const bool aligned_enough = is_reference(variant()) || (misalign == 16 && !wide);
        if (aligned_enough) {
            ASSERT_EQ(status, MEAN4_OK);
            EXPECT_TRUE(result.equals(expected_result(image), 32));
        } else {
            EXPECT_EQ(status, MEAN4_MISALIGNED_RESULT);
            EXPECT_TRUE(result.untouched());
        }
    }
}

// The benchmark's own image, every word, from one shared computation of the rule.
class Full_image : public Every_variant {
  protected:
    static void SetUpTestSuite()
    {
        std::mt19937 rng(2024);
        image_ = new Image(
            make_image(IMAGE_WIDTH, IMAGE_HEIGHT, [&](int, int) { return uint8_t(rng()); }));
        expected_ = new std::vector<uint32_t>(expected_result(*image_));
    }
    static void TearDownTestSuite()
    {
        delete image_;
        delete expected_;
    }
    static inline Image* image_;
    static inline std::vector<uint32_t>* expected_;
};

TEST_P(Full_image, MatchesTheRuleOnEveryWord)
{
    Guarded_result result(image_->pixels.size());
    ASSERT_EQ(variant().filter(IMAGE_WIDTH, IMAGE_HEIGHT, image_->pixels.data(), result.image()),
              MEAN4_OK);
    EXPECT_TRUE(result.equals(*expected_, IMAGE_WIDTH));
}

std::string variant_name(const testing::TestParamInfo<int>& info)
{
    const std::string name = variant_at(info.param).name;
    return name == "C++" ? "Reference" : name;
}

INSTANTIATE_TEST_SUITE_P(Filter, Every_variant, testing::Range(0, MEAN4_VARIANT_COUNT),
                         variant_name);
INSTANTIATE_TEST_SUITE_P(Filter, Full_image, testing::Range(0, MEAN4_VARIANT_COUNT), variant_name);

TEST(Reference, MatchesTheRuleOnEverySizeDownToOnePixel)
{
    // Widths and heights of 1 and 2 make every pixel an edge or a corner.
    uint32_t seed = 100;
    for (int32_t width = 1; width <= 19; ++width)
        for (int32_t height = 1; height <= 5; ++height) {
            SCOPED_TRACE(testing::Message() << width << " x " << height);
            EXPECT_TRUE(filters_exactly(variant_at(0), random_image(width, height, seed++)));
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
        ASSERT_EQ(mean4_vector(48, 6, first.pixels.data(), result.image(), wide_first), MEAN4_OK);
        ASSERT_EQ(mean4_vector(48, 6, second.pixels.data(), result.image(), !wide_first), MEAN4_OK);
        EXPECT_TRUE(result.equals(expected_result(second), 48));
    }
}

} // namespace
