#include "compute_roof.h"

#include "all_cores.h"
#include "tsc.h"
#include "workload_memory.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t BAND_WIDTH = 256;
constexpr int SAMPLES = 31;

struct Band {
    size_t width;
    size_t rows;            // rows the kernel computes; the band has one more above and below
    Workload_buffer source; // rows + 2 rows
    Workload_buffer result; // rows rows, 64-byte aligned
};

Band make_band(size_t l1d_bytes)
{
    // Source and result, 5 bytes a pixel, within a third of the cache.
    const size_t rows = std::max<size_t>(1, l1d_bytes / 3 / (BAND_WIDTH * 5));
    Band band{BAND_WIDTH, rows, allocate_workload_memory((rows + 2) * BAND_WIDTH, false),
              allocate_workload_memory(rows * BAND_WIDTH * sizeof(uint32_t), false)};
    auto* src = static_cast<uint8_t*>(band.source.get());
    std::mt19937 rng(7);
    for (size_t i = 0; i < (rows + 2) * BAND_WIDTH; ++i)
        src[i] = static_cast<uint8_t>(rng() & 0x7F);
    std::memset(band.result.get(), 0, rows * BAND_WIDTH * sizeof(uint32_t));
    return band;
}

// One call of the kernel alone on the band: a row kernel on its interior
// rows, a whole-image routine on the band as an image.
void run_once(const Mean4_kernel& kernel, Band& band)
{
    const auto* src = static_cast<const uint8_t*>(band.source.get());
    auto* dst = static_cast<uint32_t*>(band.result.get());
    if (kernel.rows != nullptr)
        kernel.rows(src + band.width, band.width, dst, band.rows);
    else
        kernel.whole_image(int32_t(band.width), int32_t(band.rows), src + band.width, dst);
}

Compute_cost measure(const Mean4_kernel& kernel, size_t l1d_bytes)
{
    Band band = make_band(l1d_bytes);
    const double pixels = double(band.width * band.rows);
    // Enough calls for a sample of about 20 microseconds, counted on a warm band.
    run_once(kernel, band);
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    run_once(kernel, band);
    const double one = std::max(1e-9, std::chrono::duration<double>(clock::now() - start).count());
    const int calls = std::clamp(int(20e-6 / one), 1, 100000);

    std::vector<double> ns, tsc;
    for (int sample = 0; sample < SAMPLES; ++sample) {
        const auto t0 = clock::now();
        const uint64_t c0 = tsc_count();
        for (int call = 0; call < calls; ++call)
            run_once(kernel, band);
        const uint64_t c1 = tsc_count();
        const auto t1 = clock::now();
        ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count() / (calls * pixels));
        tsc.push_back(double(c1 - c0) / (calls * pixels));
    }
    std::nth_element(ns.begin(), ns.begin() + SAMPLES / 2, ns.end());
    std::nth_element(tsc.begin(), tsc.begin() + SAMPLES / 2, tsc.end());
    return {ns[SAMPLES / 2], tsc_hz() > 0 ? tsc[SAMPLES / 2] : 0.0};
}

// The kernel whose cost stands for this one's. Non-temporal stores cannot be
// timed apart from memory: even into a band that fits the first-level cache
// they drain to memory. A streaming kernel is therefore costed as its cached
// twin, the row of the same name without "_stream", where there is one.
const Mean4_kernel& costed_as(const Mean4_kernel& kernel)
{
    const std::string name = kernel.name;
    const std::string suffix = "_stream";
    if (kernel.stores != Mean4_stores::streaming || !name.ends_with(suffix))
        return kernel;
    const std::string twin = name.substr(0, name.size() - suffix.size());
    for (const Explore_variant& other : explore_variants())
        if (other.kernel->name == twin && other.kernel->stores == Mean4_stores::cached)
            return *other.kernel;
    return kernel;
}

} // namespace

Compute_cost compute_cost(const Explore_variant& variant, size_t l1d_bytes)
{
    static std::map<const Mean4_kernel*, Compute_cost> measured;
    const Mean4_kernel& kernel = costed_as(*variant.kernel);
    auto found = measured.find(&kernel);
    if (found == measured.end())
        found = measured.emplace(&kernel, measure(kernel, l1d_bytes)).first;
    Compute_cost cost = found->second;
    if (variant.cores == Cores::all) {
        const double threads = omp_get_max_threads();
        cost.ns_per_pixel /= threads;
        cost.tsc_per_pixel /= threads;
    }
    return cost;
}
