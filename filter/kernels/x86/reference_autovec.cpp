// What the compiler makes of the scalar reference: its own source, compiled
// again under other names for AVX2 and with the vectoriser on (see
// filter/CMakeLists.txt).
#include "kernels/mean4_kernels.h"

#define REFERENCE_TARGET MEAN4_TARGET(AVX2)
#define mean4_reference mean4_reference_autovec
#define mean4_scalar_row mean4_scalar_row_autovec
#include "mean4_reference.cpp"
