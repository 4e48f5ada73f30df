// The public entry points of the vectorised filter: the benchmark program's
// narrow and wide rows, which follow the reference in its table.
#include "mean4.h"
#include "mean4_frame.h"
#include "mean4_registry.h"

namespace {

enum { REFERENCE, NARROW, WIDE };

const Mean4_kernel& program_variant(bool wide)
{
    return mean4_benchmark_kernels()[wide ? WIDE : NARROW];
}

} // namespace

int32_t mean4_vector(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst, bool wide)
{
    return mean4_vector_with(program_variant(wide), width, height, src, dst);
}

bool mean4_vector_supported(bool wide)
{
    return program_variant(wide).isa.supported();
}
