// The benchmark's runs: buffers, the random image, ten timed calls of each
// variant, the report lines and the word-by-word verification.
#include "benchmark.h"

#include "mean4.h"
#include "mean4_compare.h"
#include "platform.h"

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

// The three buffers, held at once until the process ends: the source, which
// the kernels load unaligned, the vector result, which takes every variant's
// aligned stores, and the reference result.
struct Buffers {
    uint8_t* src_image;
    uint32_t* vec_out;
    uint32_t* ref_out;
};

// Allocates the buffers and fills the source; false, with the message said,
// when one cannot be allocated. All three are allocated before the image is
// made, so a shortage shows at once.
bool make_buffers(std::span<const Mean4_kernel> variants, Buffers& buffers)
{
    buffers.src_image = static_cast<uint8_t*>(allocate_aligned(PIXEL_COUNT, 16));
    if (allocation_failed(buffers.src_image, "src_image", "the source image", PIXEL_COUNT))
        return false;
    buffers.vec_out =
        static_cast<uint32_t*>(allocate_aligned(RESULT_BYTES, result_alignment(variants)));
    if (allocation_failed(buffers.vec_out, "vec_out", "the vector result", RESULT_BYTES))
        return false;
    buffers.ref_out = new (std::nothrow) uint32_t[PIXEL_COUNT];
    if (allocation_failed(buffers.ref_out, "ref_out", "the reference result", RESULT_BYTES))
        return false;

    // The generator is never seeded, so every run filters the same image.
    for (size_t i = 0; i < PIXEL_COUNT; ++i)
        buffers.src_image[i] = static_cast<uint8_t>(std::rand() & 0x7F);
    // Zeroing also faults in every page, keeping page faults out of the timed
    // runs. vec_out is not cleared between the two vector runs: the wide run
    // must overwrite every word the narrow run wrote.
    std::memset(buffers.vec_out, 0, RESULT_BYTES);
    std::memset(buffers.ref_out, 0, RESULT_BYTES);
    return true;
}

// Times ten calls of one variant and reports them; a vector variant's result
// is then compared with the reference's. Returns the program's exit status
// so far: EXIT_OK, EXIT_WRONG_RESULT, or EXIT_OUTPUT_ERROR, which ends the run.
int time_variant(const Mean4_kernel& variant, bool is_reference, const Buffers& buffers)
{
    uint32_t* out = is_reference ? buffers.ref_out : buffers.vec_out;
    int32_t status = MEAN4_OK;
    const uint64_t t0 = tick_count_ms();
    for (int i = 0; i < REPEAT_COUNT && status == MEAN4_OK; ++i)
        status = mean4_run(variant, IMAGE_WIDTH, IMAGE_HEIGHT, buffers.src_image, out);
    const uint64_t t1 = tick_count_ms();

    if (!write_report_line(variant.report_format, elapsed_ms(t0, t1)))
        return EXIT_OUTPUT_ERROR;
    if (status != MEAN4_OK) {
        std::fprintf(stderr, "mean4: the %s filter refused the image with status %d\n",
                     variant.report_label, static_cast<int>(status));
        return EXIT_WRONG_RESULT;
    }
    if (is_reference)
        return EXIT_OK;

    // One break per differing word when a debugger is attached. Without one
    // a break would end the process, so the stderr line and the exit status
    // report the difference instead.
    const Result_difference difference =
        compare_results(buffers.ref_out, buffers.vec_out, IMAGE_WIDTH, IMAGE_HEIGHT,
                        debugger_attached() ? debugger_break : nullptr);
    if (difference.differing_words == 0)
        return EXIT_OK;
    char text[256];
    format_difference(text, sizeof text, variant.report_label, difference);
    std::fprintf(stderr, "mean4: %s\n", text);
    return EXIT_WRONG_RESULT;
}

} // namespace

int run_benchmark(std::span<const Mean4_kernel> variants)
{
    prepare_standard_streams();

    if (!processor_supports_all_variants(variants))
        return EXIT_UNSUPPORTED_CPU;
    Buffers buffers{};
    if (!make_buffers(variants, buffers))
        return EXIT_OUT_OF_MEMORY;

    int exit_status = EXIT_OK;
    for (const Mean4_kernel& variant : variants) {
        if (!variant.isa.supported()) {
            std::fprintf(stderr,
                         "mean4: this processor lacks %s; the %s variant was not measured\n",
                         variant.isa.name, variant.report_label);
            continue;
        }
        const int status = time_variant(variant, &variant == &variants.front(), buffers);
        if (status == EXIT_OUTPUT_ERROR)
            return status;
        if (status != EXIT_OK)
            exit_status = status;
    }
    return exit_status;
}
