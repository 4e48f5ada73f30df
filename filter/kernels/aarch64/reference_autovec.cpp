// What the compiler makes of the scalar reference: its own source, compiled
// again under other names with the vectoriser on (see filter/CMakeLists.txt),
// for NEON, which every AArch64 processor has.
#include "kernels/mean4_kernels.h"

#define mean4_reference mean4_reference_autovec
#define mean4_scalar_row mean4_scalar_row_autovec
#include "mean4_reference.cpp"
