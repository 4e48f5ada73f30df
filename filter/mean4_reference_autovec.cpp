// What the compiler makes of the scalar reference: its own source, compiled
// again under other names for AVX2 and with the vectoriser on (see
// CMakeLists.txt). Its registry row is in mean4_rows_clamped.cpp; it runs only
// after the processor check for the same set.
#include "mean4_isa.h"

#define REFERENCE_TARGET MEAN4_TARGET(AVX2)
#define mean4_reference mean4_reference_autovec
#define mean4_scalar_row mean4_scalar_row_autovec
#include "mean4_reference.cpp"
