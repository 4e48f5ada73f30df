// Every kernel of the filter for the architecture being built, declared once;
// the registry's tables list them.
//
// A row kernel computes `rows` consecutive rows starting at src_row / dst_row;
// rows lie back to back, `width` bytes (source) or words (result) apart. Its
// preconditions are listed where it is defined, and it checks nothing: the
// frame checks the arguments first.
//
// The readable margins, which every row kernel may read and the frame and
// the all-core bands always give it: the row above its first row and the
// row below its last, and the byte before its first row and the byte after
// its last (the offset loads of a row's first and last pixels read them;
// what they load there is replaced by the clamp, or the frame repairs the
// column). A kernel that reads more says so. A one-row kernel (mean4_row_*) computes
// one row from explicit neighbour rows, edge columns clamped, and reads
// nothing outside the three rows; the frame uses it for the image's top and
// bottom rows. The streaming kernels fence before returning.
//
// Each is compiled for its own instruction set and may run only after that
// set's check: see the row that lists it.
#pragma once

#if defined(__aarch64__)
#include "aarch64/mean4_kernels_aarch64.h"
#elif defined(__x86_64__) || defined(_M_X64)
#include "x86/mean4_kernels_x86.h"
#elif defined(__riscv) && __riscv_xlen == 64
#include "riscv64/mean4_kernels_riscv64.h"
#else
#error "mean4 has kernels for x86-64, AArch64 and riscv64 only"
#endif
