// The reference compiled by the second compiler (see filter/CMakeLists.txt),
// beside the first one's autovec: what another vectoriser makes of the same
// scalar source.
#include "kernels/mean4_kernels.h"
#include "mean4_registry.h"

namespace {

constexpr Mean4_kernel COMPILER_KERNELS[] = {
    {.name = "autovec_clang",
     .whole_image = mean4_reference_autovec_clang,
     .isa = MEAN4_AVX2,
     .written_by = Mean4_author::compiler,
     .flow = Mean4_flow::reference},
};
MEAN4_ASSERT_WELL_FORMED(COMPILER_KERNELS);

} // namespace

std::span<const Mean4_kernel> mean4_compiler_kernels()
{
    return COMPILER_KERNELS;
}
