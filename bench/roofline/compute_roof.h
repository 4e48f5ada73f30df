// The compute roof: what a kernel costs when memory is no object, measured
// alone on a band of rows that stays in the first-level data cache, called
// over and over.
//
// A sample times two calls through the frame: on a band of several interior
// rows, and on a band of three rows (one interior row and the two edge rows).
// Their difference is the cost of interior rows alone; what is left of the
// short band is the call's own cost (its checks and the frame's edge rows),
// paid once per image. Neither depends on how tall the band is, so no share
// of edge work leaks into the per-pixel cost.
//
// The explorer takes a sample in every iteration, beside the call it times:
// on a shared machine a core can run at half speed for a while, and a roof
// measured at another moment than its call would be off by as much.
#pragma once

#include "mean4_registry.h"

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

struct Compute_sample {
    double interior_ns_per_pixel;
    double call_ns; // the rest of a call at the band's width: checks, edge rows
};

class Compute_band {
  public:
    // The kernel on rows of `width` pixels, the band sized for a cache of
    // l1d_bytes. width a multiple of 16.
    Compute_band(const Mean4_kernel& kernel, size_t width, size_t l1d_bytes);
    Compute_sample sample();
    size_t width() const
    {
        return width_;
    }

  private:
    double seconds_per_call(int32_t height, int calls);

    const Mean4_kernel& kernel_;
    size_t width_;
    size_t rows_; // interior rows of the tall band
    struct Aligned_delete {
        void operator()(uint32_t* words) const
        {
            ::operator delete[](words, std::align_val_t{64});
        }
    };
    std::vector<uint8_t> source_;                        // rows + 2 rows
    std::unique_ptr<uint32_t[], Aligned_delete> result_; // rows + 2 rows, 64-byte aligned
    int tall_calls_;
    int short_calls_;
};

// The widest band row, up to `side`, that leaves at least four interior rows
// with source and result in half of the first-level data cache: the roof is
// measured on the image's own row length wherever that fits.
size_t compute_band_width(size_t side, size_t l1d_bytes);

// The call's own cost on a side x side image, in nanoseconds: its checks and
// the frame's edge rows, from a sample taken on rows of band_width pixels.
double call_ns(const Compute_sample& sample, size_t band_width, size_t side);

// The compute-bound time of one call on a side x side image, from a sample
// taken on rows of band_width pixels, shared among `threads` cores.
double compute_ms(const Compute_sample& sample, size_t band_width, size_t side, unsigned threads);

// The kernel whose cost stands for this one's: the row among `kernels` it
// names as costed_as (a streaming kernel's cached twin), else itself.
const Mean4_kernel& cost_twin(const Mean4_kernel& kernel,
                              const std::vector<const Mean4_kernel*>& kernels);
