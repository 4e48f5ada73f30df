// A point's paired measurement, one repetition of it: every call of a variant
// timed in a pair with the copies that bound it, a sample of its compute roof
// and the core's probes, in an order that alternates from pair to pair; and
// what the pairs say: the limit (the fastest copy), each pair's own ratio to
// it and to its model, when the repetition has been measured enough, and its
// summary. The explorer times the pairs; this decides, on whatever pairs it
// is given, so that tests can hand it synthetic ones.
//
// The pairs of one repetition are seconds apart, on one placement of the
// workload, and not independent of one another: what the machine does for a
// minute, or where the buffers happen to lie, moves them all. Their interval
// says when to stop; how sure a point's figure is comes from its
// repetitions, each a replicate of the whole measurement (docs/measurement.md).
#pragma once

#include "compute_roof.h"
#include "roof_model.h"
#include "statistics.h"

#include <array>
#include <cstddef>
#include <vector>

// The copies timed in every pair, all moving the filter's bytes through
// memory with the variant's stores and cores: the widening copy one row at a
// time, and the pattern copies, three rows and in row pairs
// (memory_limits.h). A variant's limit is the fastest of them.
constexpr size_t PAIRED_COPIES = 3;

// A copy's name in a variant's label (limit_copy): "limit", "three_rows",
// "row_pairs".
const char* paired_copy_name(size_t copy);

// The copy with the access pattern of a kernel that computes rows_per_pass
// result rows a pass: its memory roof.
size_t pattern_copy(size_t rows_per_pass);

enum class Pair_order { call_first, copies_first };

// Pair i's order, in blocks of four: call first, copies first, copies first,
// call first (ABBA). Whatever one step leaves behind for the next (writes
// still draining, lines in the caches, the clock's state) then falls on the
// call and on the copies alike, and so does a drift across a block. Pairs 2k
// and 2k + 1, one in each order, make round k: its ratio is the mean of
// theirs, and no round favours either side.
Pair_order pair_order(size_t pair);

// Which copy is timed at `position` (0, 1, 2) of pair i's copies: their
// order rotates a place each pair, so that no copy always follows the call
// or another copy.
size_t copy_at(size_t pair, size_t position);

// What one pair measured, in seconds, and the probes beside it.
struct Pair {
    Pair_order order;
    double call_seconds;
    std::array<double, PAIRED_COPIES> copy_seconds;
    Compute_sample compute;
    double core_ghz;
    double core_ghz_by_multiplies; // 0 where the architecture gives none
    double core_adds_per_ns;
};

// What the model needs of the point besides its pairs: its side, the threads
// it runs on, the row length of the band its compute samples came from, and
// which copy has its access pattern.
struct Point_shape {
    size_t side;
    unsigned threads;
    size_t band_width;
    size_t pattern_copy;
};

// A repetition's figures, from its pairs and rounds.
struct Repetition_summary {
    size_t pairs;
    size_t limit_copy;       // the fastest copy by its median: the limit
    double limit_ms;         // that copy's median
    Median_interval x_limit; // of the rounds' ratios, call over limit
    double x_limit_q1, x_limit_q3;
    // The median ratio of the pairs of each order: apart where a step leaves
    // something behind for the next.
    double x_limit_call_first, x_limit_copies_first;
    bool settled; // x_limit's interval within the rule's tolerance
    Median_interval call_ms;
    Median_interval x_model; // of the rounds' ratios, call over each pair's model
    Compute_sample compute;  // the samples' medians
    double compute_call_us;  // the call's own cost at the point's side: checks, edge rows
    Roofs roofs;             // from the medians
    Model model;
    double core_ghz, core_ghz_by_multiplies, core_adds_per_ns; // medians
};

class Pairing {
  public:
    Pairing(const Point_shape& shape, const Stopping_rule& rule);

    void add(const Pair& pair);
    // The pairs so far; pair i is timed in pair_order(i).
    size_t size() const
    {
        return pairs_.size();
    }

    // The copy whose median time is least: the limit of this repetition.
    size_t fastest_copy() const;
    // Each round's ratio, call over limit: the mean of its two pairs' calls
    // over their own time of the limit's copy.
    std::vector<double> x_limit() const;
    // Each round's ratio, call over model: the mean of its two pairs' calls
    // over their own models, the higher of a pair's compute roof and its
    // pattern copy.
    std::vector<double> x_model() const;

    // Whether the repetition is done after elapsed_seconds (the rule's
    // point_done, on the rounds), decided only when the last round is
    // complete. Sorting every round's ratios would cost more than the pairs
    // on the smallest images: it looks again after an eighth more rounds.
    bool done(double elapsed_seconds);

    Repetition_summary summary() const;

  private:
    // Each pair's call over its own time of the copy.
    std::vector<double> pair_ratios(size_t copy) const;
    // The rounds' means of each two pairs' values.
    static std::vector<double> rounds(const std::vector<double>& pair_values);

    Point_shape shape_;
    Stopping_rule rule_;
    std::vector<Pair> pairs_;
    size_t next_check_; // rounds
};
