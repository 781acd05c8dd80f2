#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

// What the threads of another process have cost so far: CPU time from the scheduler's own
// account (/proc/PID/task/TID/schedstat, nanoseconds) and how often each went to sleep
// (voluntary context switches: each one a later wake-up). Threads that ended before a
// sample are not in it.
struct ThreadCost {
    std::string name;   // comm
    std::string waits;  // where it sleeps (wchan): tells threads of one name apart
    uint64_t cpuNs = 0;
    uint64_t sleeps = 0;
};

struct ProcessCost {
    std::map<pid_t, ThreadCost> threads;  // by thread id

    static ProcessCost sample(pid_t pid);
    uint64_t cpuNs() const;
    uint64_t sleeps() const;
};

// What the threads cost between two samples of one process, summed by thread name and where
// they sleep (threads started in between count from zero).
std::map<std::string, ThreadCost> costBetween(const ProcessCost& before, const ProcessCost& after);
