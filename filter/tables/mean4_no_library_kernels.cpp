// A build without a portable SIMD library: no library rows.
#include "mean4_registry.h"

std::span<const Mean4_kernel> mean4_library_kernels()
{
    return {};
}

const char* mean4_library_description()
{
    return "";
}
