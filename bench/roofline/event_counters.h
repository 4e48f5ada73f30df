// The processor's and the kernel's event counters around a piece of work,
// read as one group, as perf_event_open gives them on Linux: hardware events
// (cycles, instructions, last-level cache references and misses) where the
// processor exposes a PMU and the system lets this process count, and
// software events (task clock, context switches, migrations, page faults)
// wherever Linux runs. A group that cannot be opened says why, in words a
// user can act on. A group counts the thread that opens it, or every thread
// of the OpenMP team that the all-core variants run on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Event_kind { hardware, software };

// Whose events: the calling thread's, or those of every thread of the
// OpenMP team (all_cores.h), one group a thread, read as one.
enum class Event_threads { caller, team };

class Event_group {
  public:
    // Opens the kind's events for the threads, disabled. virtual_machine
    // words the reason where the processor's counters are missing. A team's
    // groups count the team's threads as they are when it is opened, which
    // OpenMP keeps from one parallel region to the next while the number of
    // threads stays the same.
    Event_group(Event_kind kind, bool virtual_machine,
                Event_threads threads = Event_threads::caller);
    ~Event_group();
    Event_group(const Event_group&) = delete;
    Event_group& operator=(const Event_group&) = delete;

    bool available() const
    {
        return !groups_.empty();
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

    // Counting between start and stop adds to the counts: bracket the work
    // alone, inside any timing of it, so that neither the timing nor a pause
    // before it is counted.
    void start();
    void stop();
    // Every event's count so far, over every thread counted, scaled up where
    // the kernel had to share the counters and counted only part of the time.
    std::vector<double> counts() const;

  private:
    bool scaled_ = false;
    std::vector<std::vector<int>> groups_; // a thread's events, its leader first
    std::vector<std::string> names_;
    std::string why_not_;
};

// Why a group could not be opened: from the error of perf_event_open, the
// system's perf_event_paranoid level and whether this is a virtual machine.
std::string why_counters_unavailable(int error, int paranoid, bool virtual_machine);
