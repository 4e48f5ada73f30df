/* mean4_kernel.h: a kernel of mean4's filter built outside mean4, in any
 * language that can export a C function, for mean4_check to check and
 * mean4_explore --kernel to measure beside the built-in rows.
 *
 * A shared object exports one function, mean4_kernels, which returns its
 * kernels' descriptions. Each kernel is a row function: it computes `rows`
 * consecutive result rows of the filter, every result word the floor of the
 * mean of its pixel's four edge neighbours, a neighbour outside the image
 * replaced by the pixel itself. Valid C99 and C++; nothing in it is mean4's
 * own. Loading a shared object runs its code, as running any program does:
 * load only what you would run. Linux only.
 */
#ifndef MEAN4_KERNEL_H
#define MEAN4_KERNEL_H

#include <stddef.h>
#include <stdint.h>

/* The version of this interface. A shared object built against another
 * number is refused, whatever else it holds. Raised with any change that a
 * built kernel would notice. */
#define MEAN4_KERNEL_ABI 1

/* Computes result rows 0 .. rows - 1, from source row 0 at src_row and result
 * row 0 at dst_row. Rows lie back to back: source rows `width` bytes apart,
 * result rows `width` words apart. width is a non-zero multiple of 16, rows
 * at least 1, and dst_row starts on the description's result_alignment.
 * The function may read the row above row 0 and the row below row
 * rows - 1, and the byte before row 0 and the byte after row rows - 1: the
 * caller always gives it those. It writes the result rows it is given and
 * nothing else, and checks nothing. */
typedef void (*mean4_rows_fn)(const uint8_t* src_row, size_t width, uint32_t* dst_row, size_t rows);

/* How a kernel computes the two edge columns, whose outer neighbour lies
 * outside the row. */
enum mean4_kernel_edges {
    /* It substitutes the pixel itself: its rows come out finished. */
    MEAN4_EDGES_CLAMPED = 0,
    /* It takes the neighbour from the adjacent row (the row as if endless),
     * and mean4 recomputes both columns afterwards. */
    MEAN4_EDGES_REPAIRED = 1
};

enum mean4_kernel_stores {
    /* Ordinary stores: each result line is read into the cache first. */
    MEAN4_STORES_CACHED = 0,
    /* Non-temporal stores, which skip that read; the kernel fences before
     * it returns. */
    MEAN4_STORES_STREAMING = 1
};

/* Where the kernel computes the mean: the lanes decide what each pixel
 * costs, and the explorer's charts and tables group kernels by them. */
enum mean4_kernel_flow {
    /* Four bytes summed in 16-bit lanes (at most 1020), shifted right by 2. */
    MEAN4_FLOW_WORDS = 0,
    /* The same in 32-bit lanes. */
    MEAN4_FLOW_DWORDS = 1,
    /* Kept in 8-bit lanes by rounding averages corrected for their rounding. */
    MEAN4_FLOW_BYTES = 2,
    /* One pixel at a time, as the scalar reference is written. */
    MEAN4_FLOW_SCALAR = 3
};

struct mean4_kernel_description {
    /* Letters, digits and underscores, unique in the shared object; mean4
     * names the row after the file too: "mine.avx2" for kernel "avx2" of
     * libmine.so, so that two builds of one kernel load side by side. */
    const char* name;
    mean4_rows_fn rows;
    /* The one instruction set it needs, as mean4 names them: "x86-64",
     * "SSE4.1", "AVX2", "AVX-512BW"; "NEON", "SVE", "SVE2"; "rv64gc", "RVV".
     * mean4 runs it only where the processor has that set. */
    const char* isa;
    /* The boundary in bytes a result row must start on: a power of two, from
     * 4 (a word) to 64. */
    size_t result_alignment;
    int edges;  /* enum mean4_kernel_edges */
    int stores; /* enum mean4_kernel_stores */
    int flow;   /* enum mean4_kernel_flow */
    /* 1, or 2 for a kernel that computes two result rows in one pass over
     * the source, reading rows y - 1 .. y + 2 for rows y and y + 1 (it ends
     * an odd count with one row). */
    int rows_per_pass;
    /* For a streaming kernel, the name of the cached kernel of the same data
     * flow in the same shared object, whose compute cost the explorer takes
     * for its own: non-temporal stores drain to memory even from data that
     * fits the cache. NULL for a cached kernel, and for a streaming one that
     * has no twin (the explorer then costs it by itself). */
    const char* cached_twin;
};

struct mean4_kernel_set {
    /* MEAN4_KERNEL_ABI as the shared object was built: read before anything
     * else, and the rest only where it is this header's. */
    uint32_t abi;
    size_t count;
    const struct mean4_kernel_description* kernels;
};

/* The name of the one function a kernel's shared object exports, of type
 * mean4_kernels_fn: it returns the set, which lives as long as the object is
 * loaded. */
#define MEAN4_KERNELS_ENTRY "mean4_kernels"
typedef const struct mean4_kernel_set* (*mean4_kernels_fn)(void);

#endif
