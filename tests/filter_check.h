// What the unit tests and the fuzzer check every variant against: the rule,
// stated apart from the filter code; test images whose source can sit at any
// offset from a 64-byte boundary; and a result buffer pre-filled with a
// sentinel and surrounded by guard words. Header-only and free of GoogleTest,
// so that the fuzzer shares it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

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
// neighbour becomes the pixel itself; the floor of the mean of the four.
inline uint32_t rule(const Image& image, int x, int y)
{
    const int w = image.width, h = image.height;
    auto at = [&](int xx, int yy) {
        return uint32_t(image.at(std::clamp(xx, 0, w - 1), std::clamp(yy, 0, h - 1)));
    };
    return (at(x - 1, y) + at(x + 1, y) + at(x, y - 1) + at(x, y + 1)) / 4;
}

inline std::vector<uint32_t> expected_result(const Image& image)
{
    std::vector<uint32_t> expected(image.pixel_count());
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            expected[size_t(y) * size_t(image.width) + size_t(x)] = rule(image, x, y);
    return expected;
}

// Upper bits set, so that a word the filter leaves unwritten, or writes only
// in part, cannot pass for a result.
constexpr uint32_t SENTINEL = 0xA5A5A5A5;
constexpr size_t GUARD_WORDS = 16;

// A result image pre-filled with SENTINEL, with guard words on both sides,
// starting `misalign` bytes past a 64-byte boundary (a multiple of 4).
struct Guarded_result {
    explicit Guarded_result(size_t image_words, size_t misalign = 0)
        : storage(image_words + 4 * GUARD_WORDS + misalign / 4, SENTINEL), words(image_words)
    {
        const auto address = reinterpret_cast<uintptr_t>(storage.data() + GUARD_WORDS);
        image = storage.data() + GUARD_WORDS + ((64 - address % 64) % 64 + misalign) / 4;
    }

    // Empty when the image equals `expected` and every word around it is
    // still SENTINEL; otherwise what is wrong, with the first wrong word.
    std::string difference(const std::vector<uint32_t>& expected, int32_t width) const
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
                 << ", y=" << first / size_t(width) << "): expected " << expected[first]
                 << ", got 0x" << std::hex << image[first];
        return what.str();
    }

    std::string untouched() const
    {
        return difference(std::vector<uint32_t>(words, SENTINEL), 1);
    }

    std::vector<uint32_t> storage;
    size_t words;
    uint32_t* image;
};

} // namespace filter_check
