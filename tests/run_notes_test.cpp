// What a run warns of at its end, from the notes of its points: made-up
// points stand for a quiet run, a busy one, a core shared with another
// thread, and a core that folds the clock probe's additions.
#include "run_notes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A point measured for a second on a quiet core at 3.6 GHz.
Point_note quiet(const std::string& point)
{
    return {point, 1.0, 0.0, 3.6, 3.62, 12.8};
}

bool any_says(const std::vector<std::string>& lines, const std::string& words)
{
    for (const std::string& line : lines)
        if (line.find(words) != std::string::npos)
            return true;
    return false;
}

TEST(Run_notes, AQuietRunWarnsOfNothing)
{
    Run_notes notes;
    for (const char* point : {"avx2/256", "avx2/512", "sse41/256"})
        notes.note(quiet(point));
    EXPECT_TRUE(notes.warnings().empty());
}

TEST(Run_notes, PointsWhereOthersKeptAProcessorBusyAreCountedWithTheFirstNamed)
{
    Run_notes notes;
    notes.note(quiet("avx2/256"));
    Point_note busy = quiet("avx2/512");
    busy.other_cpu_seconds = 0.2;
    notes.note(busy);
    busy.point = "sse41/512";
    notes.note(busy);
    Point_note unknown = quiet("sse41/256"); // no /proc/stat: not counted as busy
    unknown.other_cpu_seconds = -1;
    notes.note(unknown);
    const std::vector<std::string> lines = notes.warnings();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(any_says(lines, "busy during 2 points (the first: avx2/512)"));
}

TEST(Run_notes, ThroughputThatFellWhileTheClockHeldIsNamedWithItsPoints)
{
    Run_notes notes;
    notes.note(quiet("avx2/256"));
    Point_note shared = quiet("avx2/1024");
    shared.core_adds_per_ns = 8.1;
    notes.note(shared);
    const std::vector<std::string> lines = notes.warnings();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(any_says(lines, "from 8.1 (avx2/1024) to 12.8 (avx2/256)"));
    // A few percent is a quiet core's own wander.
    Run_notes wander;
    wander.note(quiet("avx2/256"));
    shared.core_adds_per_ns = 12.0;
    wander.note(shared);
    EXPECT_TRUE(wander.warnings().empty());
}

TEST(Run_notes, AFoldedClockProbeIsCaughtByTheMultiplications)
{
    // What a core that folds additions of an immediate read: 13.7 GHz by
    // additions, 3.9 by multiplications.
    Run_notes notes;
    notes.note(quiet("avx2/256"));
    Point_note folded = quiet("avx2/512");
    folded.core_ghz = 13.7;
    folded.core_ghz_by_multiplies = 3.9;
    notes.note(folded);
    const std::vector<std::string> lines = notes.warnings();
    EXPECT_TRUE(any_says(lines, "above the clock read by multiplications at 1 points (the "
                                "first: avx2/512, 13.70 against 3.90"));
    // Another thread contending for the adders reads them a little below:
    // the throughput probe says so, the clock is not in doubt.
    Run_notes contended;
    Point_note below = quiet("avx2/512");
    below.core_ghz = 3.25;
    below.core_ghz_by_multiplies = 3.65;
    contended.note(below);
    EXPECT_TRUE(contended.warnings().empty());
    // Where the architecture gives no clock by multiplications, nothing to
    // disagree with.
    Run_notes elsewhere;
    Point_note unchecked = quiet("neon/256");
    unchecked.core_ghz_by_multiplies = 0;
    elsewhere.note(unchecked);
    EXPECT_TRUE(elsewhere.warnings().empty());
}

} // namespace
