// What a run notes of each point for the warnings at its end, and those
// warnings: the points during which other processes kept a processor busy,
// a core whose throughput for the explorer moved across the points, and
// clock probes that disagree. Noted as the points run and judged here,
// apart, so that a test can ask what a run would warn of.
#pragma once

#include <string>
#include <vector>

struct Point_note {
    std::string point;        // "avx2/256"
    double seconds;           // how long the point was measured
    double other_cpu_seconds; // what other processes used meanwhile; negative where unknown
    // The probes' medians over the point's pairs (machine_state.h); 0 where
    // the architecture gives no clock by multiplications.
    double core_ghz;
    double core_ghz_by_multiplies;
    double core_adds_per_ns;
};

// Other processes that kept a processor busy for this share of a point's
// time made it less reliable.
constexpr double BUSY_SHARE = 0.1;
// A quiet core's throughput moves a few percent from point to point with its
// clock; another hardware thread on the core takes about a quarter.
constexpr double SHARED_CORE = 0.9;

class Run_notes {
  public:
    void note(const Point_note& point);

    // One line for each condition the points showed, without the program's
    // name; none for a quiet run.
    std::vector<std::string> warnings() const;

  private:
    size_t busy_ = 0;
    std::string first_busy_;
    double least_adds_ = 0, most_adds_ = 0;
    std::string least_adds_at_, most_adds_at_;
    double slowest_ghz_ = 0, fastest_ghz_ = 0;
    size_t clocks_apart_ = 0;
    std::string first_clocks_apart_;
    double apart_by_additions_ = 0, apart_by_multiplies_ = 0;
};
