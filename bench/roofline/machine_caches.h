// The processor's data caches as the explorer uses them: to size the band
// its compute roofs are measured on, and to mark on the chart the image
// sizes where the working set outgrows each cache. Google Benchmark reads
// them from sysfs, which some virtual machines lack; the operating system
// still answers there, and a hypervisor may answer with a size no processor
// has. Every cache goes into the run's context with where it came from.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct Cache_fact {
    int level;        // 1, 2, 3
    std::string type; // "Data", "Unified" or "Instruction", as Google Benchmark names them
    size_t bytes;
    std::string source;          // "google-benchmark", "sysconf", "sysfs"
    std::string reason_not_used; // empty for a size the explorer uses
};

// The caches to use: Google Benchmark's where it found any, else the
// operating system's, each checked against the machine's memory. A size that
// is zero, beyond 1 GiB or larger than memory is kept, with its reason, but
// not used.
std::vector<Cache_fact> choose_caches(std::vector<Cache_fact> from_benchmark,
                                      std::vector<Cache_fact> from_os, size_t memory_bytes);

// The first-level data cache among the caches in use, or 32 KiB, the
// smallest of any processor the explorer runs on, where none is known.
size_t l1d_bytes(const std::vector<Cache_fact>& caches);

// The caches this operating system reports, by its own means: sysconf on
// Linux and, where that is empty (as it often is on AArch64), sysfs.
std::vector<Cache_fact> operating_system_caches();

// Physical memory, 0 where the system does not say.
size_t memory_bytes();

// "L1d", "L2", "L1i": the name the context and the chart give a cache.
std::string cache_name(const Cache_fact& cache);
