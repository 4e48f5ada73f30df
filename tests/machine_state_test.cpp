// The readers of what the machine is set up to do and was doing, on fixture
// texts: /proc/stat, sysfs choice lists, the marks containers leave, the
// environment; the core's probes, which no compiler or core may fold; and
// the event counters around a piece of work, on one thread and on the
// team's, or the reason they cannot count. No speed is asserted: the
// probes are held to each other and the counters to the threads' own clocks.
#include "all_cores.h"
#include "event_counters.h"
#include "machine_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

namespace {

TEST(Proc_stat, BusyIsEveryTickButIdleIowaitAndSteal)
{
    const Cpu_time time =
        parse_proc_stat("cpu  100 20 30 1000 5 6 7 8 0 0\ncpu0 50 10 15 500 2 3 3 4 0 0\n", 100);
    ASSERT_TRUE(time.known);
    EXPECT_DOUBLE_EQ(time.busy_seconds, (100 + 20 + 30 + 6 + 7) / 100.0);
    EXPECT_DOUBLE_EQ(time.steal_seconds, 0.08);
}

TEST(Proc_stat, AnOldKernelWithoutStealAndAFileThatIsNotItAreToldApart)
{
    const Cpu_time old = parse_proc_stat("cpu  100 20 30 1000\n", 100);
    EXPECT_TRUE(old.known);
    EXPECT_EQ(old.steal_seconds, 0);
    EXPECT_FALSE(parse_proc_stat("", 100).known) << "an absent /proc/stat is unknown, not idle";
    EXPECT_FALSE(parse_proc_stat("intr 12345\n", 100).known);
}

TEST(System_settings, ChoiceListsBoostAndContainersReadAsLinuxWritesThem)
{
    EXPECT_EQ(bracketed_choice("always [madvise] never"), "madvise");
    EXPECT_EQ(bracketed_choice("performance"), "performance");
    EXPECT_EQ(boost_state("1", ""), "on");
    EXPECT_EQ(boost_state("0", ""), "off");
    EXPECT_EQ(boost_state("", "1"), "off") << "intel_pstate says no_turbo: the other way round";
    EXPECT_EQ(boost_state("", "0"), "on");
    EXPECT_EQ(boost_state("", ""), "");
    EXPECT_EQ(container_kind(true, false, ""), "docker");
    EXPECT_EQ(container_kind(false, true, "0::/"), "podman");
    EXPECT_EQ(container_kind(false, false, "0::/kubepods/besteffort/pod1"), "kubernetes");
    EXPECT_EQ(container_kind(false, false, "0::/init.scope"), "none");
    EXPECT_EQ(first_line("/no/such/file"), "");
}

TEST(System_settings, OnlyTheVariablesThatSteerOpenMpAreKept)
{
    const char* const environment[] = {"PATH=/bin", "OMP_WAIT_POLICY=passive", "MY_OMP_THING=1",
                                       "GOMP_SPINCOUNT=0", nullptr};
    EXPECT_EQ(omp_variables(environment), "OMP_WAIT_POLICY=passive GOMP_SPINCOUNT=0");
    const char* const none[] = {"HOME=/root", nullptr};
    EXPECT_EQ(omp_variables(none), "");
}

// A compiler that folded a probe's additions into one would leave a loop
// of nothing, timed at thousands of additions a nanosecond; no core issues
// more than a few dozen.
TEST(Core_probes, TimeTheirAdditionsRatherThanFoldThem)
{
    const double ghz = core_speed_ghz();
    EXPECT_GT(ghz, 0);
    EXPECT_LT(ghz, 10);
    const double adds_per_ns = core_throughput_adds_per_ns();
    EXPECT_GT(adds_per_ns, 0);
    EXPECT_LT(adds_per_ns, 100);
}

// A core that folds additions of an immediate runs such a chain several to
// a cycle, and read 12.5 to 15.3 GHz on an Intel core of 2021; the probe adds
// a register instead, and the multiplications, which nothing folds, check it.
TEST(Core_probes, TheClockByAdditionsIsNotFoldedAsTheMultiplicationsSay)
{
    if (core_speed_ghz_by_multiplies() == 0)
        GTEST_SKIP() << "no clock by multiplications on this architecture";
    // The fastest of many readings of each: what other threads take slows
    // a reading, and nothing speeds one up but folding.
    double by_additions = 0, by_multiplies = 0;
    for (int i = 0; i < 31; ++i) {
        by_additions = std::max(by_additions, core_speed_ghz());
        by_multiplies = std::max(by_multiplies, core_speed_ghz_by_multiplies());
    }
    EXPECT_FALSE(additions_folded(by_additions, by_multiplies))
        << by_additions << " GHz by additions, " << by_multiplies
        << " by multiplications: the additions are folded, or this core multiplies at another "
           "latency than three cycles";
}

TEST(Core_probes, AFoldedChainIsCaughtAndAContendedOneIsNot)
{
    EXPECT_TRUE(additions_folded(13.7, 3.9)) << "the readings of a core that folds them";
    EXPECT_FALSE(additions_folded(3.9, 3.85));
    EXPECT_FALSE(additions_folded(3.3, 3.9)) << "another thread contending for the adders";
    EXPECT_FALSE(additions_folded(3.6, 0)) << "no multiplications to check by";
}

// Spins until this thread has used `seconds` of processor time; returns the
// time it used.
double spin_for(double seconds)
{
    const auto used = [] {
#ifdef __linux__
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
#else
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
#endif
    };
    const double start = used();
    double now = start;
    while (now - start < seconds)
        now = used();
    return now - start;
}

size_t task_clock_of(const Event_group& group)
{
    const auto& names = group.names();
    return size_t(std::find(names.begin(), names.end(), "task_clock_ns") - names.begin());
}

TEST(Event_counters, AroundTheWorkTheTaskClockIsItsTimeOnOneThreadOrOnEvery)
{
    Event_group caller(Event_kind::software, false);
    if (!caller.available())
        GTEST_SKIP() << "no software events here: " << caller.why_not();
    Event_group team(Event_kind::software, false, Event_threads::team);
    ASSERT_TRUE(team.available()) << team.why_not();
    const size_t task = task_clock_of(caller);
    ASSERT_LT(task, caller.names().size());

    double before = caller.counts()[task];
    caller.start();
    const double used = spin_for(0.02);
    caller.stop();
    EXPECT_NEAR((caller.counts()[task] - before) * 1e-9, used, 0.1 * used + 1e-3);

    if (omp_get_max_threads() < 2)
        GTEST_SKIP() << "one thread in the team: one thread and all are the same";
    std::vector<double> each(size_t(omp_get_max_threads()), 0.0);
    before = caller.counts()[task];
    const double team_before = team.counts()[task];
    team.start();
    caller.start();
    for_each_band([&](unsigned thread, unsigned) { each[thread] = spin_for(0.02); });
    caller.stop();
    team.stop();
    double all = 0;
    for (double seconds : each)
        all += seconds;
    // Each thread also runs a little outside its spin (into and out of the
    // region), which the group counts and the spin does not.
    const double by_team = (team.counts()[task] - team_before) * 1e-9;
    EXPECT_GE(by_team, 0.9 * all) << "the team's group counts every thread";
    EXPECT_LE(by_team, 1.25 * all + 5e-3);
    const double by_caller = (caller.counts()[task] - before) * 1e-9;
    EXPECT_GE(by_caller, 0.9 * each[0]);
    EXPECT_LT(by_caller, each[0] + 0.5 * (all - each[0])) << "the caller's counts it alone";
}

TEST(Event_counters, ASoftwareGroupCountsAroundALoopOrSaysWhyNot)
{
    Event_group software(Event_kind::software, false);
    if (!software.available()) {
        ASSERT_FALSE(software.why_not().empty());
        GTEST_SKIP() << "no software events here: " << software.why_not();
    }
    const std::vector<double> before = software.counts();
    software.start();
    std::vector<char> fresh(64 << 20); // new pages: page faults
    for (size_t i = 0; i < fresh.size(); i += 4096)
        fresh[i] = char(i);
    software.stop();
    const std::vector<double> after = software.counts();
    ASSERT_EQ(after.size(), software.names().size());
    for (size_t e = 0; e < after.size(); ++e) {
        SCOPED_TRACE(software.names()[e]);
        EXPECT_GE(after[e], before[e]);
        if (software.names()[e] == "task_clock_ns" || software.names()[e] == "page_faults") {
            EXPECT_GT(after[e], before[e]);
        }
    }
    // Stopped, it counts no more.
    std::vector<char> more(16 << 20);
    for (size_t i = 0; i < more.size(); i += 4096)
        more[i] = 1;
    EXPECT_EQ(software.counts(), after);
}

TEST(Event_counters, AHardwareGroupOpensOrNamesItsReason)
{
    Event_group hardware(Event_kind::hardware, true);
    EXPECT_NE(hardware.available(), !hardware.why_not().empty());
    if (hardware.available()) {
        EXPECT_EQ(hardware.names().front(), "cycles");
    }
}

TEST(Event_counters, EachReasonSaysWhatTheUserCanDo)
{
    EXPECT_NE(why_counters_unavailable(EACCES, 3, false).find("perf_event_paranoid is 3"),
              std::string::npos);
    EXPECT_NE(why_counters_unavailable(ENOENT, 2, true).find("virtual machine"), std::string::npos);
    EXPECT_EQ(why_counters_unavailable(ENOENT, 2, false).find("virtual machine"),
              std::string::npos);
    EXPECT_NE(why_counters_unavailable(ENOSYS, 2, false).find("no perf_event_open"),
              std::string::npos);
}

} // namespace
