#include "kernel_check.h"

#include "filter_check.h"
#include "mean4.h"
#include "mean4_frame.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using filter_check::Guarded_result;
using filter_check::Image;

// The child's exit status when it found a fault and said which: apart from
// 1, which a sanitizer's report ends with.
constexpr int FOUND_FAULT = 3;

// What a group's child process shares with the parent: the case it is on,
// how many it began, and why it failed. Plain text in shared memory, so that
// it survives the child's crash.
struct Shared_state {
    char geometry[256];
    char failure[1024];
    unsigned long cases;
};

void copy_text(char* to, size_t size, const std::string& text)
{
    std::snprintf(to, size, "%s", text.c_str());
}

// The images the unit tests use, each exposing a known fault.
enum class Picture { random, all_255, row_seams, bright_corner, constant };

const char* picture_name(Picture picture)
{
    switch (picture) {
    case Picture::random:
        return "random pixels";
    case Picture::all_255:
        return "every pixel 255";
    case Picture::row_seams:
        return "each row's last pixel far from the next row's first";
    case Picture::bright_corner:
        return "one bright corner";
    case Picture::constant:
        return "every pixel 77";
    }
    return "?";
}

Image make_picture(int32_t width, int32_t height, Picture picture, size_t misalign, uint32_t seed)
{
    std::mt19937 rng(seed + uint32_t(width) * 1000 + uint32_t(height));
    return filter_check::make_image(
        width, height,
        [&](int x, int y) -> uint8_t {
            switch (picture) {
            case Picture::random:
                return uint8_t(rng());
            case Picture::all_255:
                return 255;
            case Picture::row_seams:
                if (x == 0)
                    return y % 2 == 0 ? 255 : 0;
                if (x == width - 1)
                    return y % 2 == 0 ? 0 : 255;
                return uint8_t((x * 7 + y * 13) & 0x7F);
            case Picture::bright_corner:
                return x == 0 && y == 0 ? 255 : 0;
            case Picture::constant:
                return 77;
            }
            return 0;
        },
        misalign);
}

std::string geometry_text(const Image& image, Picture picture)
{
    std::ostringstream text;
    text << "the " << image.width << " x " << image.height << " image of " << picture_name(picture)
         << ", its source " << image.misalign << (image.misalign == 1 ? " byte" : " bytes")
         << " past a 64-byte boundary";
    return text.str();
}

// "" if the result is right; otherwise what is wrong, as a write outside the
// result where it was one.
std::string wrong(const Guarded_result& result, const std::vector<uint32_t>& expected,
                  int32_t width)
{
    const std::string difference = result.difference(expected, width);
    if (difference.empty() || result.guards_untouched())
        return difference;
    return "it wrote outside the result: " + difference;
}

// The cases of one group, run in the child: each begins by saying what it
// is, and the group stops at the first that fails.
class Cases {
  public:
    Cases(const Mean4_kernel& kernel, Shared_state& shared) : kernel_(kernel), shared_(shared) {}

    void begin(const std::string& geometry)
    {
        copy_text(shared_.geometry, sizeof shared_.geometry, geometry);
        ++shared_.cases;
    }

    // The whole image through the frame, as the explorer runs it.
    std::string whole_image(const Image& image, Picture picture)
    {
        begin(geometry_text(image, picture));
        const std::vector<uint32_t> expected = filter_check::expected_result(image);
        Guarded_result result(image.pixel_count());
        const int32_t status =
            mean4_run(kernel_, image.width, image.height, image.pixels(), result.image);
        if (status != MEAN4_OK)
            return "it was refused with status " + std::to_string(status);
        return wrong(result, expected, image.width);
    }

    // The row kernel by itself on the interior rows of an image of rows + 2,
    // whose result rows follow one another with guard words after the last:
    // a row too many, written or left unwritten, shows. The edge columns of
    // a kernel that leaves them to the frame are not its to get right.
    std::string rows_alone(int32_t width, int32_t rows, uint32_t seed)
    {
        const Image image = make_picture(width, rows + 2, Picture::random, 0, seed);
        begin("rows 1 to " + std::to_string(rows) + " of " + geometry_text(image, Picture::random) +
              ", by the row kernel alone");
        const std::vector<uint32_t> whole = filter_check::expected_result(image);
        std::vector<uint32_t> expected(whole.begin() + width, whole.end() - width);
        Guarded_result result(expected.size());
        kernel_.rows(image.pixels() + width, size_t(width), result.image, size_t(rows));
        if (kernel_.edges == Mean4_edges::repaired_by_frame)
            for (int32_t y = 0; y < rows; ++y) {
                expected[size_t(y * width)] = result.image[size_t(y * width)];
                expected[size_t(y * width + width - 1)] =
                    result.image[size_t(y * width + width - 1)];
            }
        return wrong(result, expected, width);
    }

    // The image in two bands split before row `split`, as the all-core
    // variants run it: each band writes its own rows and no other.
    std::string bands(int32_t width, int32_t height, int32_t split, uint32_t seed)
    {
        const Image image = make_picture(width, height, Picture::random, 0, seed);
        begin(geometry_text(image, Picture::random) + ", in two bands split before row " +
              std::to_string(split));
        const std::vector<uint32_t> expected = filter_check::expected_result(image);
        Guarded_result result(image.pixel_count());
        mean4_band(image.pixels(), size_t(width), size_t(height), result.image, 0, size_t(split),
                   kernel_);
        for (size_t i = size_t(split) * size_t(width); i < image.pixel_count(); ++i)
            if (result.image[i] != filter_check::SENTINEL)
                return "the first band wrote row " + std::to_string(i / size_t(width)) +
                       ", which is the second's";
        mean4_band(image.pixels(), size_t(width), size_t(height), result.image, size_t(split),
                   size_t(height), kernel_);
        return wrong(result, expected, width);
    }

  private:
    const Mean4_kernel& kernel_;
    Shared_state& shared_;
};

struct Group {
    const char* name;
    const char* unit; // what its cases are called in the summary
    std::function<std::string(Cases&)> run;
};

std::vector<Group> groups(const Mean4_kernel& kernel, const Kernel_check_plan& plan)
{
    const bool all = plan.thorough;
    const uint32_t seed = plan.seed;
    std::vector<Group> list;
    list.push_back({"whole images", "geometries", [all, seed](Cases& cases) {
                        const std::vector<int32_t> widths =
                            all ? std::vector<int32_t>{16, 32, 48, 64, 80, 144, 208}
                                : std::vector<int32_t>{16, 48, 208};
                        const std::vector<int32_t> heights =
                            all ? std::vector<int32_t>{3, 4, 5, 8, 9} : std::vector<int32_t>{3, 8};
                        const std::vector<Picture> pictures =
                            all ? std::vector<Picture>{Picture::random, Picture::all_255,
                                                       Picture::row_seams, Picture::bright_corner,
                                                       Picture::constant}
                                : std::vector<Picture>{Picture::random, Picture::row_seams};
                        for (const int32_t width : widths)
                            for (const int32_t height : heights)
                                for (const Picture picture : pictures) {
                                    const std::string failure = cases.whole_image(
                                        make_picture(width, height, picture, 0, seed), picture);
                                    if (!failure.empty())
                                        return failure;
                                }
                        return std::string();
                    }});
    list.push_back({"sources off a 64-byte boundary", "geometries", [all, seed](Cases& cases) {
                        for (const int32_t width : {48, 80})
                            for (size_t misalign = 1; misalign < 16; misalign += all ? 1 : 6) {
                                const std::string failure = cases.whole_image(
                                    make_picture(width, 5, Picture::random, misalign, seed),
                                    Picture::random);
                                if (!failure.empty())
                                    return failure;
                            }
                        return std::string();
                    }});
    if (kernel.rows == nullptr)
        return list;
    list.push_back({"rows by themselves", "geometries", [all, seed](Cases& cases) {
                        for (const int32_t width : {16, 48, 80, 208})
                            for (int32_t rows = 1; rows <= (all ? 5 : 3); ++rows) {
                                const std::string failure = cases.rows_alone(width, rows, seed);
                                if (!failure.empty())
                                    return failure;
                            }
                        return std::string();
                    }});
    list.push_back({"two bands", "splits", [all, seed](Cases& cases) {
                        for (int32_t split = 0; split <= 9; split += all ? 1 : 4) {
                            const std::string failure = cases.bands(48, 9, split, seed);
                            if (!failure.empty())
                                return failure;
                        }
                        return std::string();
                    }});
    return list;
}

Group random_group(const Kernel_check_plan& plan)
{
    return {"random images and geometries", "images", [plan](Cases& cases) {
                std::mt19937 rng(plan.seed);
                const auto end = std::chrono::steady_clock::now() +
                                 std::chrono::duration<double>(plan.random_seconds);
                while (std::chrono::steady_clock::now() < end) {
                    const auto width = int32_t(16 * (1 + rng() % 32));
                    const auto height = int32_t(3 + rng() % 38);
                    const std::string failure = cases.whole_image(
                        make_picture(width, height, Picture::random, rng() % 64, rng()),
                        Picture::random);
                    if (!failure.empty())
                        return failure;
                }
                return std::string();
            }};
}

// Runs the group in a child process, and says how it went: "" or the
// failure, and how many cases it began.
std::string run_isolated(const Group& group, const Mean4_kernel& kernel, unsigned long& cases)
{
    void* memory = mmap(nullptr, sizeof(Shared_state), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return std::string("cannot share memory with a child: ") + std::strerror(errno);
    auto& shared = *new (memory) Shared_state{};
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        Cases runner(kernel, shared);
        const std::string failure = group.run(runner);
        copy_text(shared.failure, sizeof shared.failure, failure);
        _exit(failure.empty() ? 0 : FOUND_FAULT);
    }
    std::string failure;
    int status = 0;
    if (child < 0)
        failure = std::string("cannot start a child to check in: ") + std::strerror(errno);
    else if (waitpid(child, &status, 0) != child)
        failure = std::string("lost the child that checked: ") + std::strerror(errno);
    else if (WIFSIGNALED(status))
        failure = std::string("it crashed (") + sigabbrev_np(WTERMSIG(status)) + ", " +
                  strsignal(WTERMSIG(status)) + ") on " + shared.geometry;
    else if (WEXITSTATUS(status) == FOUND_FAULT)
        failure = std::string(shared.failure) + ", on " + shared.geometry;
    else if (WEXITSTATUS(status) != 0)
        failure = "its check ended with status " + std::to_string(WEXITSTATUS(status)) +
                  " (a sanitizer's report above may say why) on " + shared.geometry;
    cases = shared.cases;
    munmap(memory, sizeof(Shared_state));
    return failure;
}

} // namespace

Kernel_check_result check_kernel(const Mean4_kernel& kernel, const Kernel_check_plan& plan)
{
    Kernel_check_result result;
    std::vector<Group> list = groups(kernel, plan);
    if (plan.random_seconds > 0)
        list.push_back(random_group(plan));
    for (const Group& group : list) {
        unsigned long cases = 0;
        const std::string failure = run_isolated(group, kernel, cases);
        if (!failure.empty()) {
            result.passed = false;
            result.failure = std::string(kernel.name) + ", " + group.name + ": " + failure;
            return result;
        }
        result.checked.push_back(std::string(group.name) + ": " + std::to_string(cases) + " " +
                                 group.unit);
    }
    return result;
}
