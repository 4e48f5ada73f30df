// The readers of what the machine is set up to do and was doing, on fixture
// texts: /proc/stat, sysfs choice lists, the marks containers leave, the
// environment; and the event counters around a loop, or the reason they
// cannot count. No timing is asserted.
#include "event_counters.h"
#include "machine_state.h"

#include <gtest/gtest.h>

#include <cerrno>
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
