// What the unit tests, the fuzzer and the kernel checker (kernel_check.h)
// check every variant against: the rule, stated apart from the filter code;
// test images whose source can sit at any offset from a 64-byte boundary;
// and a result buffer pre-filled with a sentinel and surrounded by guard
// words. Header-only and free of GoogleTest, so that all three share it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

// The checks themselves are not what the fuzzer explores. Left in its
// coverage tracing, their loops over every word (a traced comparison for
// each) cost most of each execution and add features of no interest; their
// memory accesses stay under AddressSanitizer.
#if defined(__clang__)
#define FILTER_CHECK_UNTRACED __attribute__((no_sanitize("coverage")))
#else
#define FILTER_CHECK_UNTRACED
#endif

namespace filter_check {

// A width x height source image, exactly sized, whose first pixel lies
// `misalign` bytes past a 64-byte boundary. A kernel that slipped in an
// aligned load of the source faults on it; a read past the last pixel is
// outside the allocation, where AddressSanitizer sees it.
class Image {
  public:
    Image(int32_t width_, int32_t height_, size_t misalign_ = 0)
        : width(width_), height(height_), misalign(misalign_ % 64),
          storage_(static_cast<uint8_t*>(
              ::operator new[](misalign + pixel_count(), std::align_val_t{64})))
    {
    }

    size_t pixel_count() const
    {
        return width >= 1 && height >= 1 ? size_t(width) * size_t(height) : 0;
    }
    uint8_t* pixels()
    {
        return storage_.get() + misalign;
    }
    const uint8_t* pixels() const
    {
        return storage_.get() + misalign;
    }
    uint8_t at(int x, int y) const
    {
        return pixels()[size_t(y) * size_t(width) + size_t(x)];
    }

    int32_t width;
    int32_t height;
    size_t misalign;

  private:
    struct Aligned_delete {
        void operator()(uint8_t* block) const
        {
            ::operator delete[](block, std::align_val_t{64});
        }
    };
    std::unique_ptr<uint8_t[], Aligned_delete> storage_;
};

// An image whose pixel (x, y) is pixel(x, y).
template <typename Pixel>
Image make_image(int32_t width, int32_t height, Pixel&& pixel, size_t misalign = 0)
{
    Image image(width, height, misalign);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.pixels()[size_t(y) * size_t(width) + size_t(x)] = pixel(x, y);
    return image;
}

// The rule: clamp each neighbour's coordinates into the image, so a missing
// neighbour becomes the pixel itself; the floor of the mean of the four. The
// clamped coordinates are found once per row and column. Into `expected`,
// whose storage is reused from call to call.
FILTER_CHECK_UNTRACED inline void expected_result(const Image& image,
                                                  std::vector<uint32_t>& expected)
{
    const int w = image.width, h = image.height;
    expected.resize(image.pixel_count());
    if (expected.empty())
        return;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = image.pixels() + size_t(y) * size_t(w);
        const uint8_t* above = image.pixels() + size_t(std::clamp(y - 1, 0, h - 1)) * size_t(w);
        const uint8_t* below = image.pixels() + size_t(std::clamp(y + 1, 0, h - 1)) * size_t(w);
        uint32_t* out = expected.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const int left = std::clamp(x - 1, 0, w - 1), right = std::clamp(x + 1, 0, w - 1);
            out[x] = (uint32_t(row[left]) + row[right] + above[x] + below[x]) / 4;
        }
    }
}

inline std::vector<uint32_t> expected_result(const Image& image)
{
    std::vector<uint32_t> expected;
    expected_result(image, expected);
    return expected;
}

// Upper bits set, so that a word the filter leaves unwritten, or writes only
// in part, cannot pass for a result.
constexpr uint32_t SENTINEL = 0xA5A5A5A5;
constexpr size_t GUARD_WORDS = 16;

// Whether all n words at p are `value`: each word equals the next and the
// first is `value`, which libc's memcmp answers at memory speed.
FILTER_CHECK_UNTRACED inline bool all_words_are(const uint32_t* p, size_t n, uint32_t value)
{
    return n == 0 || (p[0] == value && std::memcmp(p, p + 1, (n - 1) * sizeof *p) == 0);
}

// A result image pre-filled with SENTINEL, with guard words on both sides,
// starting `misalign` bytes past a 64-byte boundary (a multiple of 4).
struct Guarded_result {
    explicit Guarded_result(size_t image_words, size_t misalign = 0)
        : storage(image_words + 4 * GUARD_WORDS + misalign / 4, SENTINEL), words(image_words)
    {
        const auto address = reinterpret_cast<uintptr_t>(storage.data() + GUARD_WORDS);
        image = storage.data() + GUARD_WORDS + ((64 - address % 64) % 64 + misalign) / 4;
    }

    // Every word SENTINEL again, for another run into the same buffer, after
    // a check that passed: the guards, which it found untouched, still are.
    FILTER_CHECK_UNTRACED void clear_image_after_passing_check()
    {
        std::fill(image, image + words, SENTINEL);
    }

    // Empty when the image equals `expected` and every word around it is
    // still SENTINEL; otherwise what is wrong, with the first wrong word.
    FILTER_CHECK_UNTRACED std::string difference(const std::vector<uint32_t>& expected,
                                                 int32_t width) const
    {
        if (guards_untouched() &&
            std::memcmp(image, expected.data(), words * sizeof(uint32_t)) == 0)
            return "";
        return describe(expected.data(), width);
    }

    // Empty when no word, inside the image or around it, was written.
    FILTER_CHECK_UNTRACED std::string untouched() const
    {
        if (all_words_are(storage.data(), storage.size(), SENTINEL))
            return "";
        const std::vector<uint32_t> sentinels(words, SENTINEL);
        return describe(sentinels.data(), 1);
    }

    // Whether every word around the image is still SENTINEL.
    FILTER_CHECK_UNTRACED bool guards_untouched() const
    {
        const uint32_t* end = storage.data() + storage.size();
        return all_words_are(storage.data(), size_t(image - storage.data()), SENTINEL) &&
               all_words_are(image + words, size_t(end - (image + words)), SENTINEL);
    }

    std::vector<uint32_t> storage;
    size_t words;
    uint32_t* image;

  private:
    // The first word outside the image that was overwritten, or else the
    // number of differing words and the first of them.
    std::string describe(const uint32_t* expected, int32_t width) const
    {
        std::ostringstream what;
        for (const uint32_t& word : storage)
            if ((&word < image || &word >= image + words) && word != SENTINEL) {
                what << "the word at " << &word - image << " from the image start, outside it, "
                     << "was overwritten with " << word;
                return what.str();
            }
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < words; ++i)
            if (image[i] != expected[i] && differing++ == 0)
                first = i;
        if (differing != 0)
            what << differing << " words differ; the first at (x=" << first % size_t(width)
                 << ", y=" << first / size_t(width) << "): expected " << expected[first] << ", got "
                 << image[first] << " (0x" << std::hex << image[first] << ")";
        return what.str();
    }
};

} // namespace filter_check
