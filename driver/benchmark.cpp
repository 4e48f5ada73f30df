// The benchmark's runs: buffers, the random image, ten timed calls of each
// variant, the report lines and the word-by-word verification.
#include "benchmark.h"

#include "mean4.h"
#include "platform.h"
#include "verify.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr int REPEAT_COUNT = 10;
constexpr size_t PIXEL_COUNT = size_t{IMAGE_WIDTH} * size_t{IMAGE_HEIGHT};
constexpr size_t RESULT_BYTES = PIXEL_COUNT * sizeof(uint32_t);

// Checked before any vector instruction can run: without it a processor that
// lacks one would end the program with an illegal instruction. A variant the
// program may leave out is only noted; any other missing set refuses the run.
bool processor_supports_all_variants(std::span<const Mean4_kernel> variants)
{
    bool all = true;
    for (const Mean4_kernel& variant : variants) {
        if (variant.isa.supported() || variant.report_optional)
            continue;
        std::fprintf(stderr,
                     "mean4: this processor lacks %s, which the %s variant needs; "
                     "nothing was measured\n",
                     variant.isa.name, variant.report_label);
        all = false;
    }
    return all;
}

// True, with a message naming the buffer, when its allocation returned null.
bool allocation_failed(const void* block, const char* buffer, const char* what, size_t bytes)
{
    if (block != nullptr)
        return false;
    std::fprintf(stderr, "mean4: cannot allocate %s, %s (%zu bytes)\n", buffer, what, bytes);
    return true;
}

// Writes one report line and pushes it out at once, so that a reader sees each
// line as its run ends and an unwritable stdout is found before more work.
// The stream's error flag is asked as well: the Windows runtime (msvcrt)
// returns success from printf and fflush on a failed write and only sets it.
bool write_report_line(const char* format, int32_t elapsed)
{
    errno = 0;
    const bool failed =
        std::printf(format, elapsed) < 0 || std::fflush(stdout) != 0 || std::ferror(stdout);
    if (failed) {
        const int error = errno;
        std::fprintf(stderr, "mean4: cannot write the report to standard output: %s\n",
                     error != 0 ? std::strerror(error) : "write error");
    }
    return !failed;
}

// The boundary every variant's result may start on: the strictest of theirs.
size_t result_alignment(std::span<const Mean4_kernel> variants)
{
    size_t alignment = alignof(uint32_t);
    for (const Mean4_kernel& variant : variants)
        alignment = std::max(alignment, mean4_result_alignment(variant));
    return alignment;
}

} // namespace

int run_benchmark(std::span<const Mean4_kernel> variants)
{
    prepare_standard_streams();

    if (!processor_supports_all_variants(variants))
        return EXIT_UNSUPPORTED_CPU;

    // All three buffers are held at once and live until the process ends.
    // The kernels load the source unaligned; vec_out takes every variant's
    // aligned stores (32 bytes for the wide one).
    auto* src_image = static_cast<uint8_t*>(allocate_aligned(PIXEL_COUNT, 16));
    if (allocation_failed(src_image, "src_image", "the source image", PIXEL_COUNT))
        return EXIT_OUT_OF_MEMORY;
    auto* vec_out =
        static_cast<uint32_t*>(allocate_aligned(RESULT_BYTES, result_alignment(variants)));
    if (allocation_failed(vec_out, "vec_out", "the vector result", RESULT_BYTES))
        return EXIT_OUT_OF_MEMORY;
    auto* ref_out = new (std::nothrow) uint32_t[PIXEL_COUNT];
    if (allocation_failed(ref_out, "ref_out", "the reference result", RESULT_BYTES))
        return EXIT_OUT_OF_MEMORY;

    // The generator is never seeded, so every run filters the same image.
    for (size_t i = 0; i < PIXEL_COUNT; ++i)
        src_image[i] = static_cast<uint8_t>(std::rand() & 0x7F);
    // Zeroing also faults in every page, keeping page faults out of the timed
    // runs. vec_out is not cleared between the two vector runs: the wide run
    // must overwrite every word the narrow run wrote.
    std::memset(vec_out, 0, RESULT_BYTES);
    std::memset(ref_out, 0, RESULT_BYTES);

    int exit_status = EXIT_OK;
    for (const Mean4_kernel& variant : variants) {
        if (!variant.isa.supported()) {
            std::fprintf(stderr,
                         "mean4: this processor lacks %s; the %s variant was not measured\n",
                         variant.isa.name, variant.report_label);
            continue;
        }
        const bool is_reference = &variant == &variants.front();
        uint32_t* out = is_reference ? ref_out : vec_out;

        int32_t status = MEAN4_OK;
        const uint64_t t0 = tick_count_ms();
        for (int i = 0; i < REPEAT_COUNT && status == MEAN4_OK; ++i)
            status = mean4_run(variant, IMAGE_WIDTH, IMAGE_HEIGHT, src_image, out);
        const uint64_t t1 = tick_count_ms();

        if (!write_report_line(variant.report_format, elapsed_ms(t0, t1)))
            return EXIT_OUTPUT_ERROR;
        if (status != MEAN4_OK) {
            std::fprintf(stderr, "mean4: the %s filter refused the image with status %d\n",
                         variant.report_label, static_cast<int>(status));
            exit_status = EXIT_WRONG_RESULT;
            continue;
        }
        if (is_reference)
            continue;

        // One break per differing word when a debugger is attached. Without one
        // a break would end the process, so the stderr line and the exit status
        // report the difference instead.
        const Result_difference difference =
            compare_results(ref_out, vec_out, IMAGE_WIDTH, IMAGE_HEIGHT,
                            debugger_attached() ? debugger_break : nullptr);
        if (difference.differing_words != 0) {
            print_difference(stderr, variant.report_label, difference);
            exit_status = EXIT_WRONG_RESULT;
        }
    }
    return exit_status;
}
