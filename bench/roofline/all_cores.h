// Work split over all cores: one band of rows per thread of an OpenMP team.
//
// OpenMP numbers a team's threads the same way on every parallel region, so
// band b is always worked by thread b. Buffers are first touched the same way
// (see the explorer's workloads), and on a machine with several memory nodes
// each band's pages then sit on the node of the core that computes it
// (with OMP_PROC_BIND=true, which keeps each thread on its core).
#pragma once

#include <cstddef>

#include <omp.h>

// The first row of band `band` when `rows` rows are split into `bands` bands
// as evenly as whole rows allow; band `bands` gives the end.
inline size_t band_start(size_t rows, unsigned band, unsigned bands)
{
    return rows * band / bands;
}

// Calls work(band, bands) once for every band, each on its own thread of the
// team, and returns when all have returned.
template <typename Work> void for_each_band(Work&& work)
{
#pragma omp parallel
    work(static_cast<unsigned>(omp_get_thread_num()), static_cast<unsigned>(omp_get_num_threads()));
}
