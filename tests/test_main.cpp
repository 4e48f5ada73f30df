// The unit tests' entry point. With --mean4_list_sets it prints instead what
// the scripts that test the program end to end and on emulated processors
// need to know of this build, so that no build file restates it:
//
//   sets: x86-64 SSE4.1 AVX2 AVX-512BW   every set, each including the ones before
//   report: C++ SSE AVX2                the program's report labels, in order
//   program: SSE4.1 AVX2                the sets of its vector rows, "?" after one
//                                       the program may leave out
#include "kernels/mean4_kernels.h"
#include "mean4_registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

void list_sets()
{
    std::printf("sets:");
    for (const Mean4_isa* isa : MEAN4_SETS)
        std::printf(" %s", isa->name);
    std::printf("\nreport:");
    for (const Mean4_kernel& kernel : mean4_benchmark_kernels())
        std::printf(" %s", kernel.report_label);
    std::printf("\nprogram:");
    for (const Mean4_kernel& kernel : mean4_benchmark_kernels().subspan(1))
        std::printf(" %s%s", kernel.isa.name, kernel.report_optional ? "?" : "");
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--mean4_list_sets") == 0) {
        list_sets();
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
