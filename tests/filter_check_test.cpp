// The guarded result's own checks, which every unit test and the fuzzer rely
// on: a check that passed a stray or wrong word would hide any kernel fault.
#include "filter_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using filter_check::Guarded_result;
using filter_check::SENTINEL;

TEST(Guarded_result, FindsEveryWrongWordInsideOrAroundTheImage)
{
    constexpr size_t WORDS = 48 * 3;
    const std::vector<uint32_t> expected(WORDS, 7);
    for (const size_t misalign : {0, 4, 60}) {
        SCOPED_TRACE(testing::Message() << "image " << misalign << " bytes past a boundary");
        Guarded_result result(WORDS, misalign);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(result.image) % 64, misalign);
        EXPECT_EQ(result.untouched(), "");
        std::fill(result.image, result.image + WORDS, 7u);
        EXPECT_EQ(result.difference(expected, 48), "");
        EXPECT_NE(result.untouched(), "");

        // Every storage word, one at a time: the first and last of the image,
        // the guards on both sides, and a word in the middle.
        const size_t before = size_t(result.image - result.storage.data());
        for (const size_t at : {size_t{0}, before - 1, before, before + WORDS / 2,
                                before + WORDS - 1, before + WORDS, result.storage.size() - 1}) {
            SCOPED_TRACE(testing::Message() << "storage word " << at);
            const uint32_t kept = result.storage[at];
            result.storage[at] = kept ^ 0x100; // upper bits only
            EXPECT_NE(result.difference(expected, 48), "");
            result.storage[at] = kept;
        }
        EXPECT_EQ(result.difference(expected, 48), "");

        result.clear_image_after_passing_check();
        EXPECT_EQ(result.untouched(), "");
        for (const size_t at : {size_t{0}, before, result.storage.size() - 1}) {
            result.storage[at] = 0;
            EXPECT_NE(result.untouched(), "") << "storage word " << at;
            result.storage[at] = SENTINEL;
        }
    }
}

TEST(Guarded_result, NamesTheFirstWrongWord)
{
    const std::vector<uint32_t> expected(32 * 2, 9);
    Guarded_result result(expected.size());
    std::fill(result.image, result.image + expected.size(), 9u);
    result.image[32 + 5] = 10;
    result.image[32 + 6] = 11;
    EXPECT_EQ(result.difference(expected, 32),
              "2 words differ; the first at (x=5, y=1): expected 9, got 10 (0xa)");
    result.image[32 + 5] = result.image[32 + 6] = 9;
    result.image[-1] = 3;
    EXPECT_EQ(result.difference(expected, 32),
              "the word at -1 from the image start, outside it, was overwritten with 3");
}

} // namespace
