#include "machine_state.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

std::string file_text(const char* path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

Cpu_time parse_proc_stat(const std::string& text, double ticks_per_second)
{
    Cpu_time time;
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0,
                       steal = 0;
    // The first line sums every processor; older kernels end before steal.
    const int fields = std::sscanf(text.c_str(), "cpu %llu %llu %llu %llu %llu %llu %llu %llu",
                                   &user, &nice, &system, &idle, &iowait, &irq, &softirq, &steal);
    if (fields < 4 || ticks_per_second <= 0)
        return time;
    time.busy_seconds = double(user + nice + system + irq + softirq) / ticks_per_second;
    time.steal_seconds = double(steal) / ticks_per_second;
    time.known = true;
    return time;
}

Cpu_time system_cpu_time()
{
#ifdef __linux__
    return parse_proc_stat(file_text("/proc/stat"), double(sysconf(_SC_CLK_TCK)));
#else
    return {};
#endif
}

double own_cpu_seconds()
{
#ifdef __linux__
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
#else
    return -1;
#endif
}

long own_context_switches()
{
#ifdef __linux__
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
#else
    return -1;
#endif
}

std::string first_line(const char* path)
{
    std::string line = file_text(path);
    line = line.substr(0, line.find('\n'));
    const size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos
               ? ""
               : line.substr(first, line.find_last_not_of(" \t") + 1 - first);
}

std::string bracketed_choice(const std::string& line)
{
    const size_t open = line.find('['), close = line.find(']');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return line;
    return line.substr(open + 1, close - open - 1);
}

std::string boost_state(const std::string& cpufreq_boost, const std::string& no_turbo)
{
    if (!cpufreq_boost.empty())
        return cpufreq_boost == "0" ? "off" : "on";
    if (!no_turbo.empty())
        return no_turbo == "1" ? "off" : "on";
    return "";
}

std::string container_kind(bool dockerenv, bool containerenv, const std::string& init_cgroup)
{
    if (dockerenv || init_cgroup.find("docker") != std::string::npos)
        return "docker";
    if (containerenv)
        return "podman";
    if (init_cgroup.find("kubepods") != std::string::npos)
        return "kubernetes";
    if (init_cgroup.find("lxc") != std::string::npos)
        return "lxc";
    if (init_cgroup.find("containerd") != std::string::npos)
        return "container";
    return "none";
}

std::string omp_variables(const char* const* environment)
{
    std::string found;
    for (; environment != nullptr && *environment != nullptr; ++environment)
        if (std::strncmp(*environment, "OMP_", 4) == 0 ||
            std::strncmp(*environment, "GOMP_", 5) == 0)
            found.append(found.empty() ? "" : " ").append(*environment);
    return found;
}

namespace {

// A value the compiler cannot see, so that it can neither fold the chains
// nor turn their additions into additions of an immediate.
unsigned long long hidden(unsigned long long value)
{
    asm volatile("" : "+r"(value));
    return value;
}

template <typename Chain> double nanoseconds(Chain&& chain)
{
    const auto start = std::chrono::steady_clock::now();
    chain();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

double core_speed_ghz()
{
    constexpr int ADDITIONS = 4096;
    const unsigned long long k = hidden(1);
    unsigned long long x = 1;
    // Four a step, so that the chain and not the loop's own instructions
    // sets the pace; each addition waits for the one before, and the empty
    // statements keep the compiler from merging them into one.
    const double ns = nanoseconds([&] {
        for (int i = 0; i < ADDITIONS; i += 4) {
            x += k;
            asm volatile("" : "+r"(x));
            x += k;
            asm volatile("" : "+r"(x));
            x += k;
            asm volatile("" : "+r"(x));
            x += k;
            asm volatile("" : "+r"(x));
        }
    });
    return ns > 0 ? ADDITIONS / ns : 0;
}

double core_speed_ghz_by_multiplies()
{
#if defined(__x86_64__)
    constexpr double LATENCY_CYCLES = 3;
    constexpr int MULTIPLICATIONS = 2048;
    const unsigned long long m = hidden(0x9E3779B97F4A7C15ull);
    unsigned long long x = 3;
    const double ns = nanoseconds([&] {
        for (int i = 0; i < MULTIPLICATIONS; i += 4) {
            x *= m;
            asm volatile("" : "+r"(x));
            x *= m;
            asm volatile("" : "+r"(x));
            x *= m;
            asm volatile("" : "+r"(x));
            x *= m;
            asm volatile("" : "+r"(x));
        }
    });
    return ns > 0 ? LATENCY_CYCLES * MULTIPLICATIONS / ns : 0;
#else
    return 0;
#endif
}

bool additions_folded(double by_additions, double by_multiplies, double tolerance)
{
    return by_multiplies > 0 && by_additions > (1 + tolerance) * by_multiplies;
}

double core_throughput_adds_per_ns()
{
    constexpr int STEPS = 2048;
    const unsigned long long k = hidden(1);
    unsigned long long a = 0, b = 1, c = 2, d = 3, e = 4, f = 5, g = 6, h = 7;
    // Eight chains, more than any core here issues additions a cycle, so
    // that the core's width and not a chain's latency sets the pace.
    const double ns = nanoseconds([&] {
        for (int i = 0; i < STEPS; ++i) {
            a += k, b += k, c += k, d += k, e += k, f += k, g += k, h += k;
            asm volatile(""
                         : "+r"(a), "+r"(b), "+r"(c), "+r"(d), "+r"(e), "+r"(f), "+r"(g), "+r"(h));
        }
    });
    return ns > 0 ? 8.0 * STEPS / ns : 0;
}
