#include "compute_roof.h"

#include "memory_limits.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <string_view>

namespace {

constexpr size_t MIN_ROWS = 4;
// Long enough for the clock's own cost to vanish, short enough to fit
// beside the smallest image's call in each iteration.
constexpr double SAMPLE_SECONDS = 4e-6;

size_t band_rows(size_t width, size_t l1d_bytes)
{
    // (rows + 2) source rows and rows result rows in half the cache.
    const size_t budget = l1d_bytes / 2;
    const size_t source_edges = 2 * width;
    return budget > source_edges ? (budget - source_edges) / (width * BYTES_PER_PIXEL) : 0;
}

} // namespace

size_t compute_band_width(size_t side, size_t l1d_bytes)
{
    size_t width = 16;
    while (width * 2 <= side && band_rows(width * 2, l1d_bytes) >= MIN_ROWS)
        width *= 2;
    return std::min(width, side);
}

Compute_band::Compute_band(const Mean4_kernel& kernel, size_t width, size_t l1d_bytes)
    : kernel_(kernel), width_(width), rows_(std::max(MIN_ROWS, band_rows(width, l1d_bytes))),
      source_((rows_ + 2) * width),
      result_(static_cast<uint32_t*>(
          ::operator new[]((rows_ + 2) * width * sizeof(uint32_t), std::align_val_t{64}))),
      tall_calls_(1), short_calls_(1)
{
    std::mt19937 rng(7);
    for (uint8_t& pixel : source_)
        pixel = static_cast<uint8_t>(rng() & 0x7F);
    std::fill_n(result_.get(), (rows_ + 2) * width, 0u);
    // Enough calls for a sample of SAMPLE_SECONDS, counted on a warm band.
    seconds_per_call(int32_t(rows_ + 2), 1);
    tall_calls_ =
        std::clamp(int(SAMPLE_SECONDS / seconds_per_call(int32_t(rows_ + 2), 1)), 1, 10000);
    short_calls_ = std::clamp(int(SAMPLE_SECONDS / seconds_per_call(3, 1)), 1, 10000);
}

double Compute_band::seconds_per_call(int32_t height, int calls)
{
    const uint8_t* src = source_.data();
    uint32_t* dst = result_.get();
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    for (int call = 0; call < calls; ++call)
        mean4_run(kernel_, int32_t(width_), height, src, dst);
    const double seconds = std::chrono::duration<double>(clock::now() - start).count();
    return std::max(1e-10, seconds / calls);
}

Compute_sample Compute_band::sample()
{
    // The call timed beside the sample has just pushed the band out of the
    // caches; one untimed call brings it back.
    seconds_per_call(int32_t(rows_ + 2), 1);
    const double tall = seconds_per_call(int32_t(rows_ + 2), tall_calls_);
    const double short_band = seconds_per_call(3, short_calls_);
    // A moment's stall in the short band must not make the interior free.
    const double per_row = std::max(0.0, tall - short_band) / double(rows_ - 1);
    return {per_row / double(width_) * 1e9, std::max(0.0, short_band - per_row) * 1e9};
}

double call_ns(const Compute_sample& sample, size_t band_width, size_t side)
{
    return sample.call_ns * double(side) / double(band_width);
}

double compute_ms(const Compute_sample& sample, size_t band_width, size_t side, unsigned threads)
{
    const double interior = sample.interior_ns_per_pixel * double(side) * double(side - 2);
    return (interior + call_ns(sample, band_width, side)) / std::max(1u, threads) * 1e-6;
}

const Mean4_kernel& cost_twin(const Mean4_kernel& kernel,
                              const std::vector<const Mean4_kernel*>& kernels)
{
    if (kernel.costed_as == nullptr)
        return kernel;
    for (const Mean4_kernel* other : kernels)
        if (std::string_view(other->name) == kernel.costed_as)
            return *other;
    return kernel;
}
