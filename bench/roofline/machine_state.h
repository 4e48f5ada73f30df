// What the machine is set up to do and what it was doing while the explorer
// measured: the readers behind the run's context and each point's record.
// Each parser takes the text of its file, so that tests can hand it a
// fixture; a file that is absent reads as "", and a number that cannot be
// had as unknown, never as zero.
#pragma once

#include <string>

// Every processor's busy and stolen time since boot, in seconds.
struct Cpu_time {
    double busy_seconds = 0;  // user, nice, system, irq, softirq (guests are inside user)
    double steal_seconds = 0; // taken by the hypervisor for other guests
    bool known = false;
};

// From /proc/stat's text: its first line, "cpu  user nice system idle iowait
// irq softirq steal ...", counted in ticks of ticks_per_second.
Cpu_time parse_proc_stat(const std::string& text, double ticks_per_second);

// This machine's, now; unknown where /proc/stat is not.
Cpu_time system_cpu_time();

// The processor time this process has used, all its threads, in seconds,
// and the times its threads have given up a processor or been made to;
// negative where the system does not say.
double own_cpu_seconds();
long own_context_switches();

// A file's text; "" where it is absent.
std::string file_text(const char* path);

// A file's first line, trimmed; "" where it is absent or empty.
std::string first_line(const char* path);

// The chosen one of a sysfs choice list: "always [madvise] never" ->
// "madvise"; the line itself where nothing is bracketed.
std::string bracketed_choice(const std::string& line);

// Whether boost (turbo) is on, from the two places Linux says it: cpufreq's
// boost ("1" on) or intel_pstate's no_turbo ("1" off). "on", "off", or ""
// where neither says.
std::string boost_state(const std::string& cpufreq_boost, const std::string& no_turbo);

// The container this runs in, from the marks container runtimes leave: the
// files /.dockerenv and /run/.containerenv, and /proc/1/cgroup's text.
// "docker", "podman", "kubernetes", "lxc", "container", or "none".
std::string container_kind(bool dockerenv, bool containerenv, const std::string& init_cgroup);

// This process's environment variables that steer OpenMP, as
// "OMP_WAIT_POLICY=passive OMP_PROC_BIND=true", or "" for none.
std::string omp_variables(const char* const* environment);

// The core's clock now, in GHz: a chain of dependent additions, each waiting
// for the last, takes one cycle each on every core the explorer runs on. It
// tells a slowed core from slow memory on a machine without counters. The
// additions add a register whose value the compiler and the core cannot know
// in advance: Intel's cores since 2021 fold a chain of additions of an
// immediate in their renamer and run it several to a cycle.
double core_speed_ghz();

// The same clock from a chain of dependent 64-bit multiplications, which no
// renamer folds, at their latency: 3 cycles on x86-64 (every Intel core since
// 2008, every AMD Zen). 0 elsewhere, where the latency differs from core to
// core.
double core_speed_ghz_by_multiplies();

// Whether the additions read the clock more than `tolerance` (a share) above
// the multiplications: a core whose renamer folds them, or whose
// multiplications take another latency, and core_ghz is not its clock.
// False where the multiplications' reading is unknown (0). Another thread on
// the same physical core, contending for the adders, reads the additions a
// little below instead.
bool additions_folded(double by_additions, double by_multiplies, double tolerance = 0.1);

// Additions a nanosecond from eight independent chains side by side: as many
// as the core issues at once for this thread, a figure of the core alone that
// no change to the kernels moves. Another hardware thread on the same
// physical core, such as a neighbour's on a virtual machine's host, takes a
// share of it while the clock (core_speed_ghz) holds, and a throughput-bound
// kernel slows with it. Register-to-register, as the clock's chain, so that
// no core folds them.
double core_throughput_adds_per_ns();
