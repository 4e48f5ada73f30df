// The processor's and the kernel's event counters around a piece of work,
// read as one group, as perf_event_open gives them on Linux: hardware events
// (cycles, instructions, last-level cache references and misses) where the
// processor exposes a PMU and the system lets this process count, and
// software events (task clock, context switches, migrations, page faults)
// wherever Linux runs. A group that cannot be opened says why, in words a
// user can act on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Event_kind { hardware, software };

class Event_group {
  public:
    // Opens the kind's events for this thread, disabled. virtual_machine
    // words the reason where the processor's counters are missing.
    Event_group(Event_kind kind, bool virtual_machine);
    ~Event_group();
    Event_group(const Event_group&) = delete;
    Event_group& operator=(const Event_group&) = delete;

    bool available() const
    {
        return !fds_.empty();
    }
    // Why not, where not available: "" otherwise.
    const std::string& why_not() const
    {
        return why_not_;
    }
    // The events' names, in the order counts() gives them.
    const std::vector<std::string>& names() const
    {
        return names_;
    }

    // Counting between start and stop adds to the counts.
    void start();
    void stop();
    // Every event's count so far, scaled up where the kernel had to share
    // the counters and counted only part of the time.
    std::vector<double> counts() const;

  private:
    bool scaled_ = false;
    std::vector<int> fds_;
    std::vector<std::string> names_;
    std::string why_not_;
};

// Why a group could not be opened: from the error of perf_event_open, the
// system's perf_event_paranoid level and whether this is a virtual machine.
std::string why_counters_unavailable(int error, int paranoid, bool virtual_machine);
