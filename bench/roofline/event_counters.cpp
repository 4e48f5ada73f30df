#include "event_counters.h"

#include "all_cores.h"
#include "machine_state.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <utility>

#ifdef __linux__
#include <linux/perf_event.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

std::string why_counters_unavailable(int error, int paranoid, bool virtual_machine)
{
    if ((error == EACCES || error == EPERM) && paranoid != -1000)
        return "perf_event_paranoid is " + std::to_string(paranoid) +
               ": counting needs 2 or less (sysctl kernel.perf_event_paranoid=2) or CAP_PERFMON";
    if (error == EACCES || error == EPERM)
        return "not permitted: the system lets this process count no events";
    if (error == ENOENT || error == ENODEV || error == EOPNOTSUPP)
        return virtual_machine ? "no PMU: this virtual machine's hypervisor does not expose the "
                                 "processor's counters"
                               : "no PMU: the kernel knows no counters for this processor";
    if (error == ENOSYS)
        return "the kernel has no perf_event_open";
    return std::string("perf_event_open failed: ") + std::strerror(error);
}

#ifdef __linux__

namespace {

struct Event {
    const char* name;
    uint32_t type;
    uint64_t config;
};

constexpr uint64_t LLC_READ = PERF_COUNT_HW_CACHE_LL | (PERF_COUNT_HW_CACHE_OP_READ << 8);

const Event HARDWARE[] = {
    {"cycles", PERF_TYPE_HARDWARE, PERF_COUNT_HW_CPU_CYCLES},
    {"instructions", PERF_TYPE_HARDWARE, PERF_COUNT_HW_INSTRUCTIONS},
    {"llc_references", PERF_TYPE_HW_CACHE, LLC_READ | (PERF_COUNT_HW_CACHE_RESULT_ACCESS << 16)},
    {"llc_misses", PERF_TYPE_HW_CACHE, LLC_READ | (PERF_COUNT_HW_CACHE_RESULT_MISS << 16)},
};
const Event SOFTWARE[] = {
    {"task_clock_ns", PERF_TYPE_SOFTWARE, PERF_COUNT_SW_TASK_CLOCK},
    {"context_switches", PERF_TYPE_SOFTWARE, PERF_COUNT_SW_CONTEXT_SWITCHES},
    {"migrations", PERF_TYPE_SOFTWARE, PERF_COUNT_SW_CPU_MIGRATIONS},
    {"page_faults", PERF_TYPE_SOFTWARE, PERF_COUNT_SW_PAGE_FAULTS},
};

int open_event(const Event& event, int group)
{
    perf_event_attr attr{};
    attr.size = sizeof attr;
    attr.type = event.type;
    attr.config = event.config;
    attr.disabled = group == -1; // the leader starts and stops the group
    attr.exclude_kernel = event.type != PERF_TYPE_SOFTWARE;
    attr.exclude_hv = 1;
    attr.read_format = PERF_FORMAT_TOTAL_TIME_ENABLED | PERF_FORMAT_TOTAL_TIME_RUNNING;
    return int(syscall(SYS_perf_event_open, &attr, 0, -1, group, 0));
}

int paranoid_level_or_unknown()
{
    const std::string text = first_line("/proc/sys/kernel/perf_event_paranoid");
    return text.empty() ? -1000 : std::atoi(text.c_str());
}

// The kind's events for the calling thread, its first the leader; empty,
// with errno set, where the first cannot be opened.
std::vector<int> open_group(std::span<const Event> events, std::vector<std::string>* names)
{
    std::vector<int> fds;
    for (const Event& event : events) {
        const int fd = open_event(event, fds.empty() ? -1 : fds.front());
        if (fd >= 0) {
            fds.push_back(fd);
            if (names != nullptr)
                names->push_back(event.name);
        } else if (fds.empty()) {
            return fds; // without its first event the group has nothing to lead it
        }
        // A later event the processor lacks (a cache event, say) is left out.
    }
    return fds;
}

} // namespace

Event_group::Event_group(Event_kind kind, bool virtual_machine, Event_threads threads)
    : scaled_(kind == Event_kind::hardware)
{
    const std::span<const Event> events = kind == Event_kind::hardware
                                              ? std::span<const Event>(HARDWARE)
                                              : std::span<const Event>(SOFTWARE);
    std::vector<int> first = open_group(events, &names_);
    if (first.empty()) {
        why_not_ = why_counters_unavailable(errno, paranoid_level_or_unknown(), virtual_machine);
        return;
    }
    if (threads == Event_threads::caller) {
        groups_.push_back(std::move(first));
        return;
    }
    // Each thread of the team opens its own; the caller, thread 0 of the
    // team, keeps the group it opened.
    for (const int fd : first)
        close(fd);
    std::vector<std::vector<int>> team(static_cast<size_t>(omp_get_max_threads()));
    for_each_band([&](unsigned thread, unsigned) { team[thread] = open_group(events, nullptr); });
    for (std::vector<int>& group : team)
        if (group.size() == names_.size())
            groups_.push_back(std::move(group));
        else
            for (const int fd : group)
                close(fd);
    if (groups_.size() != team.size()) {
        for (const std::vector<int>& group : groups_)
            for (const int fd : group)
                close(fd);
        groups_.clear();
        why_not_ = "the team's threads could not all open the events";
    }
}

Event_group::~Event_group()
{
    for (const std::vector<int>& group : groups_)
        for (const int fd : group)
            close(fd);
}

void Event_group::start()
{
    for (const std::vector<int>& group : groups_)
        ioctl(group.front(), PERF_EVENT_IOC_ENABLE, PERF_IOC_FLAG_GROUP);
}

void Event_group::stop()
{
    for (const std::vector<int>& group : groups_)
        ioctl(group.front(), PERF_EVENT_IOC_DISABLE, PERF_IOC_FLAG_GROUP);
}

std::vector<double> Event_group::counts() const
{
    std::vector<double> counts(names_.size(), 0.0);
    for (const std::vector<int>& group : groups_)
        for (size_t e = 0; e < group.size(); ++e) {
            uint64_t value[3] = {}; // count, time enabled, time running
            if (read(group[e], value, sizeof value) != ssize_t(sizeof value) || value[2] == 0)
                continue;
            // Hardware counters shared among groups count part of the time:
            // scaled up to all of it. Software events always count.
            counts[e] +=
                scaled_ ? double(value[0]) * double(value[1]) / double(value[2]) : double(value[0]);
        }
    return counts;
}

#else

Event_group::Event_group(Event_kind, bool, Event_threads)
    : why_not_("not Linux: no perf_event_open")
{
}
Event_group::~Event_group() = default;
void Event_group::start() {}
void Event_group::stop() {}
std::vector<double> Event_group::counts() const
{
    return {};
}

#endif
