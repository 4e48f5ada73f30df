// What the compiler makes of the scalar reference: its own source, compiled
// again under other names with the vectoriser on (see filter/CMakeLists.txt),
// for rv64gcv, so that clang may use RVV wherever it sees fit.
#include "kernels/mean4_kernels.h"

#define REFERENCE_TARGET MEAN4_TARGET(RVV)
#define mean4_reference mean4_reference_autovec
#define mean4_scalar_row mean4_scalar_row_autovec
#include "mean4_reference.cpp"
