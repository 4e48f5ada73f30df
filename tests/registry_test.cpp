// The tables as data: what the compile-time check asserts, checked again at
// run time (a sanitizer build of GCC cannot fold it), and the contracts that
// hold between rows: unique names, a streaming row costed as a cached row of
// the same tables and computing as it does, the program's narrow and wide
// rows where mean4_vector finds them.
#include "mean4_registry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

const Mean4_kernel* row_named(std::string_view name)
{
    for (const Mean4_kernel* kernel : mean4_every_kernel())
        if (name == kernel->name)
            return kernel;
    return nullptr;
}

TEST(Registry, EveryRowIsWellFormedAndNamedOnce)
{
    EXPECT_TRUE(mean4_rows_are_well_formed(mean4_benchmark_kernels()));
    EXPECT_TRUE(mean4_rows_are_well_formed(mean4_explorer_kernels()));
    EXPECT_TRUE(mean4_rows_are_well_formed(mean4_library_kernels()));
    EXPECT_TRUE(mean4_rows_are_well_formed(mean4_compiler_kernels()));
    std::set<std::string> names;
    for (const Mean4_kernel* kernel : mean4_every_kernel())
        EXPECT_TRUE(names.insert(kernel->name).second) << kernel->name << " is listed twice";
}

TEST(Registry, EveryStreamingRowIsCostedAsACachedRowOfTheSameKind)
{
    for (const Mean4_kernel* kernel : mean4_every_kernel()) {
        SCOPED_TRACE(kernel->name);
        if (kernel->stores == Mean4_stores::cached) {
            EXPECT_EQ(kernel->costed_as, nullptr) << "a cached row is costed as itself";
            continue;
        }
        ASSERT_NE(kernel->costed_as, nullptr) << "a streaming row must name its cached twin";
        const Mean4_kernel* twin = row_named(kernel->costed_as);
        ASSERT_NE(twin, nullptr) << "no row is named " << kernel->costed_as;
        EXPECT_EQ(twin->stores, Mean4_stores::cached);
        EXPECT_EQ(twin->rows != nullptr, kernel->rows != nullptr);
        EXPECT_EQ(&twin->isa, &kernel->isa) << "a twin of another instruction set";
        // The twin's cost stands for this row's only if it computes the same
        // way: the same flow, author and rows a pass.
        EXPECT_EQ(twin->flow, kernel->flow);
        EXPECT_EQ(twin->written_by, kernel->written_by);
        EXPECT_EQ(twin->rows_per_pass, kernel->rows_per_pass);
    }
}

// What the explorer's JSON says of a row follows from the row: the
// reference's source, vectorised by a compiler or not, is the reference
// flow; a whole-image routine is never a library's hand-made rows.
TEST(Registry, EveryRowsFlowMatchesWhatItRuns)
{
    for (const Mean4_kernel* kernel : mean4_every_kernel()) {
        SCOPED_TRACE(kernel->name);
        if (kernel->written_by == Mean4_author::compiler) {
            EXPECT_EQ(kernel->flow, Mean4_flow::reference);
        }
        if (kernel->flow == Mean4_flow::reference) {
            EXPECT_NE(kernel->whole_image, nullptr) << "the reference's flow is a whole image";
        }
        if (kernel->rows_per_pass == 2) {
            EXPECT_EQ(kernel->flow, Mean4_flow::bytes) << "only the byte kernels go in pairs";
        }
    }
}

TEST(Registry, TheProgramsNarrowAndWideRowsFollowTheReference)
{
    // The reference and two vector rows, or one that runs at whatever
    // vector length the processor has and is both (riscv64).
    const std::span<const Mean4_kernel> program = mean4_benchmark_kernels();
    ASSERT_TRUE(program.size() == 2 || program.size() == 3) << program.size() << " rows";
    EXPECT_NE(program[0].whole_image, nullptr) << "the reference comes first";
    for (const bool wide : {false, true}) {
        const Mean4_kernel& kernel = mean4_program_kernel(wide);
        EXPECT_EQ(&kernel, &program[wide ? program.size() - 1 : 1]);
        EXPECT_NE(kernel.rows, nullptr);
        EXPECT_NE(kernel.report_label, nullptr);
    }
}

} // namespace
