#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>

// CPU time of this process and of each of its threads, in nanoseconds.
struct CpuSample {
    uint64_t processNs = 0;               // user + system of every thread, gone ones included
    uint64_t userNs = 0;
    uint64_t systemNs = 0;
    std::map<pid_t, uint64_t> threadNs;   // live threads by thread id
    std::map<pid_t, uint64_t> threadSwitches;  // voluntary context switches (sleeps), by thread id
};

CpuSample sampleCpu();
// Thread id of the calling thread.
pid_t currentThreadId();
