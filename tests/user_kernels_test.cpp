// Kernels from outside the tree: the checker passes every built-in row and
// catches a wrong word, a write past the rows and a crash in rows written
// here; the loader describes a shared object's kernel as a row written by a
// user and refuses the objects built with a fault planted in their
// description (tests/planted_kernels.c, in MEAN4_PLANTED_FOLDER).
#include "compute_roof.h"
#include "kernel_check.h"
#include "loaded_kernels.h"
#include "variants.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The rule, one pixel at a time, with each kernel's fault planted by `fault`.
enum class Fault { none, rounding, past_rows, crash_at_80 };

template <Fault fault> void rows_with(const uint8_t* src, size_t width, uint32_t* dst, size_t rows)
{
    if (fault == Fault::crash_at_80 && width == 80)
        __builtin_trap();
    for (size_t y = 0; y < rows; ++y, src += width, dst += width)
        for (size_t x = 0; x < width; ++x) {
            const unsigned sum = (x == 0 ? src[x] : src[x - 1]) +
                                 (x + 1 == width ? src[x] : src[x + 1]) + src[x - width] +
                                 src[x + width];
            dst[x] = (sum + (fault == Fault::rounding ? 2 : 0)) / 4;
        }
    if (fault == Fault::past_rows)
        dst[0] = 0;
}

Mean4_kernel kernel_with(const char* name, Mean4_rows_fn rows)
{
    return {.name = name, .rows = rows, .isa = *mean4_instruction_sets()[0]};
}

const Kernel_check_plan BRIEF{.thorough = false, .random_seconds = 0};

TEST(Kernel_check, EveryBuiltInRowPassesAndSaysWhatWasChecked)
{
    for (const Explore_variant& variant : explore_variants()) {
        if (variant.cores != Cores::one || !variant.supported())
            continue;
        SCOPED_TRACE(variant.name);
        const Kernel_check_result result = check_kernel(*variant.kernel, BRIEF);
        EXPECT_TRUE(result.passed) << result.failure;
        EXPECT_GE(result.checked.size(), 2u);
    }
    const Mean4_kernel exact = kernel_with("exact", rows_with<Fault::none>);
    const Kernel_check_result thorough = check_kernel(exact, {.random_seconds = 0.05});
    ASSERT_TRUE(thorough.passed) << thorough.failure;
    ASSERT_EQ(thorough.checked.size(), 5u);
    EXPECT_EQ(thorough.checked[0], "whole images: 175 geometries");
    EXPECT_EQ(thorough.checked[3], "two bands: 10 splits");
    EXPECT_EQ(thorough.checked[4].rfind("random images and geometries: ", 0), 0u);
}

TEST(Kernel_check, AWrongWordIsNamedWithItsGeometryAndPlace)
{
    const Kernel_check_result result =
        check_kernel(kernel_with("rounding", rows_with<Fault::rounding>), BRIEF);
    ASSERT_FALSE(result.passed);
    EXPECT_EQ(result.failure.rfind("rounding, whole images: ", 0), 0u) << result.failure;
    EXPECT_NE(result.failure.find("the first at (x="), std::string::npos) << result.failure;
    EXPECT_NE(result.failure.find("on the 16 x 3 image of random pixels"), std::string::npos)
        << result.failure;
}

TEST(Kernel_check, AWritePastTheRowsIsCaughtByTheRowsAlone)
{
    // Through the frame the stray word lands in the bottom row, which the
    // frame writes afterwards: only the kernel by itself shows it.
    const Kernel_check_result result =
        check_kernel(kernel_with("past", rows_with<Fault::past_rows>), BRIEF);
    ASSERT_FALSE(result.passed);
    EXPECT_NE(result.failure.find("rows by themselves: it wrote outside the result"),
              std::string::npos)
        << result.failure;
}

TEST(Kernel_check, ACrashIsReportedWithTheGeometryItWasRunning)
{
    const Kernel_check_result result =
        check_kernel(kernel_with("crash", rows_with<Fault::crash_at_80>), BRIEF);
    ASSERT_FALSE(result.passed);
    // A signal, or a sanitizer's report and its exit status.
    EXPECT_TRUE(result.failure.find("crashed (") != std::string::npos ||
                result.failure.find("ended with status") != std::string::npos)
        << result.failure;
    EXPECT_NE(result.failure.find("the 80 x 5 image"), std::string::npos) << result.failure;
}

TEST(Variants, LoadedRowsRunOnOneCoreAndAllAndAStreamingOneIsCostedAsItsTwin)
{
    Mean4_kernel cached = kernel_with("mine.words", rows_with<Fault::none>);
    Mean4_kernel streaming = kernel_with("mine.words_stream", rows_with<Fault::none>);
    streaming.stores = Mean4_stores::streaming;
    streaming.costed_as = "mine.words";
    const std::vector<const Mean4_kernel*> kernels = {&cached, &streaming};
    const std::vector<Explore_variant> variants = variants_of(kernels);
    ASSERT_EQ(variants.size(), 4u);
    EXPECT_EQ(variants[1].name, "mine.words_stream");
    EXPECT_EQ(variants[3].name, "mine.words_stream_all_cores");
    EXPECT_EQ(variants[3].cores, Cores::all);
    EXPECT_EQ(&cost_twin(streaming, kernels), &cached);
    EXPECT_EQ(&cost_twin(streaming, {&streaming}), &streaming) << "no twin: itself";
    EXPECT_EQ(&cost_twin(cached, kernels), &cached);
}

std::string planted(const char* fault)
{
    return std::string(MEAN4_PLANTED_FOLDER) + "/libplanted_" + fault + ".so";
}

// The refusal's message when loading `path`, or "" where it loads.
std::string refusal(const std::string& path, const std::vector<const Mean4_kernel*>& taken = {})
{
    try {
        Loaded_kernels loaded(path, taken);
    } catch (const Kernel_refused& refused) {
        return refused.what();
    }
    return "";
}

TEST(Loaded_kernels, AKernelIsARowWrittenByAUserNamedAfterItsFile)
{
    const Loaded_kernels loaded(planted("exact"), mean4_every_kernel());
    ASSERT_EQ(loaded.kernels().size(), 1u);
    const Mean4_kernel& row = *loaded.kernels()[0];
    EXPECT_STREQ(row.name, "planted_exact.planted");
    EXPECT_EQ(row.written_by, Mean4_author::user);
    EXPECT_EQ(row.flow, Mean4_flow::reference);
    EXPECT_EQ(row.edges, Mean4_edges::clamped);
    EXPECT_EQ(mean4_result_alignment(row), 4u);
    EXPECT_EQ(&row.isa, mean4_instruction_sets()[0]);
    EXPECT_TRUE(check_kernel(row, BRIEF).passed);
    EXPECT_EQ(kernel_file_stem("/a/b/libmine.so"), "mine");
    EXPECT_EQ(kernel_file_stem("mine.so.2"), "mine");
    EXPECT_EQ(kernel_file_stem("lib.so"), "lib");
}

TEST(Loaded_kernels, EachFaultyObjectIsRefusedWithItsReason)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {planted("abi"), "was built for kernel ABI 2; this mean4 loads ABI 1"},
        {planted("no_entry"), "exports no mean4_kernels"},
        {planted("malformed"), "is malformed: its result alignment 3 is not a power of two"},
        {planted("nothing"), "cannot load " + planted("nothing") + ": No such file"},
        {std::string(MEAN4_PLANTED_FOLDER) + "/../CTestTestfile.cmake",
         "is not a shared object this program can load"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        EXPECT_NE(refusal(path).find(reason), std::string::npos) << refusal(path);
    }
    const Loaded_kernels first(planted("exact"), {});
    EXPECT_NE(refusal(planted("exact"), first.kernels())
                  .find("would be named planted_exact.planted, as another row already is"),
              std::string::npos);
}

} // namespace
