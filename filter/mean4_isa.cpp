#include "mean4_isa.h"

const Mean4_isa MEAN4_BASELINE = {"x86-64", [] { return true; }};
const Mean4_isa MEAN4_SSE41 = {"SSE4.1", [] { return MEAN4_CPU_SUPPORTS(SSE41); }};
const Mean4_isa MEAN4_AVX2 = {"AVX2", [] { return MEAN4_CPU_SUPPORTS(AVX2); }};
const Mean4_isa MEAN4_AVX512BW = {"AVX-512BW", [] { return MEAN4_CPU_SUPPORTS(AVX512BW); }};
