#include "machine_caches.h"

#include <cstdlib>
#include <fstream>

#ifdef __linux__
#include <unistd.h>
#endif

namespace {

constexpr size_t GIB = size_t{1} << 30;

std::string implausible(const Cache_fact& cache, size_t memory_bytes)
{
    if (cache.bytes == 0)
        return "no size";
    if (cache.bytes > GIB)
        return "beyond 1 GiB";
    if (memory_bytes != 0 && cache.bytes > memory_bytes)
        return "larger than memory";
    return "";
}

#ifdef __linux__
size_t sysconf_bytes(int name)
{
    const long value = sysconf(name);
    return value > 0 ? size_t(value) : 0;
}

std::vector<Cache_fact> sysconf_caches()
{
    std::vector<Cache_fact> caches;
#ifdef _SC_LEVEL1_DCACHE_SIZE
    const struct {
        int level;
        const char* type;
        int name;
    } asked[] = {{1, "Data", _SC_LEVEL1_DCACHE_SIZE},
                 {1, "Instruction", _SC_LEVEL1_ICACHE_SIZE},
                 {2, "Unified", _SC_LEVEL2_CACHE_SIZE},
                 {3, "Unified", _SC_LEVEL3_CACHE_SIZE}};
    for (const auto& cache : asked)
        if (const size_t bytes = sysconf_bytes(cache.name); bytes != 0)
            caches.push_back({cache.level, cache.type, bytes, "sysconf", ""});
#endif
    return caches;
}

// /sys/devices/system/cpu/cpu0/cache/indexN/{level,type,size}; size reads
// "48K" or "1024K".
std::vector<Cache_fact> sysfs_caches()
{
    std::vector<Cache_fact> caches;
    for (int index = 0;; ++index) {
        std::string dir = "/sys/devices/system/cpu/cpu0/cache/index";
        dir.append(std::to_string(index));
        std::ifstream level_file(dir + "/level"), type_file(dir + "/type"),
            size_file(dir + "/size");
        int level = 0;
        std::string type, size;
        if (!(level_file >> level) || !(type_file >> type) || !(size_file >> size))
            break;
        char* unit = nullptr;
        size_t bytes = std::strtoull(size.c_str(), &unit, 10);
        if (*unit == 'K')
            bytes <<= 10;
        else if (*unit == 'M')
            bytes <<= 20;
        caches.push_back({level, type, bytes, "sysfs", ""});
    }
    return caches;
}
#endif

} // namespace

std::vector<Cache_fact> choose_caches(std::vector<Cache_fact> from_benchmark,
                                      std::vector<Cache_fact> from_os, size_t memory_bytes)
{
    std::vector<Cache_fact> caches =
        from_benchmark.empty() ? std::move(from_os) : std::move(from_benchmark);
    for (Cache_fact& cache : caches)
        cache.reason_not_used = implausible(cache, memory_bytes);
    return caches;
}

size_t l1d_bytes(const std::vector<Cache_fact>& caches)
{
    for (const Cache_fact& cache : caches)
        if (cache.level == 1 && cache.type == "Data" && cache.reason_not_used.empty())
            return cache.bytes;
    return 32 * 1024;
}

std::vector<Cache_fact> operating_system_caches()
{
#ifdef __linux__
    std::vector<Cache_fact> caches = sysconf_caches();
    return caches.empty() ? sysfs_caches() : caches;
#else
    return {};
#endif
}

size_t memory_bytes()
{
#ifdef __linux__
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page = sysconf(_SC_PAGESIZE);
    return pages > 0 && page > 0 ? size_t(pages) * size_t(page) : 0;
#else
    return 0;
#endif
}

std::string cache_name(const Cache_fact& cache)
{
    // Appended: GCC 12 warns falsely (-Wrestrict) of "L" + std::to_string(...).
    std::string name = "L";
    name.append(std::to_string(cache.level));
    if (cache.type == "Data")
        name += "d";
    else if (cache.type == "Instruction")
        name += "i";
    return name;
}
