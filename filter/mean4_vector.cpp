// The public entry points of the vectorised filter: the benchmark program's
// narrow and wide rows, which follow the reference in its table.
#include "mean4.h"
#include "mean4_frame.h"
#include "mean4_registry.h"

// The program's table lists the reference first, then the narrow and the
// wide row; or, where one kernel runs at whatever vector length the
// processor has (riscv64), the one row that is both.
const Mean4_kernel& mean4_program_kernel(bool wide)
{
    const std::span<const Mean4_kernel> program = mean4_benchmark_kernels();
    return wide ? program.back() : program[1];
}

int32_t mean4_vector(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst, bool wide)
{
    return mean4_vector_with(mean4_program_kernel(wide), width, height, src, dst);
}

bool mean4_vector_supported(bool wide)
{
    return mean4_program_kernel(wide).isa.supported();
}
