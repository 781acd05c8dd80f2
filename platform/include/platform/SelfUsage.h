#pragma once

#include <cstdint>

namespace platform {

// What this process itself uses, as a monitoring system reads it of any program.
struct SelfUsage {
    double cpuSeconds = 0;          // user and system time so far
    uint64_t residentBytes = 0;     // resident memory
    uint64_t virtualBytes = 0;      // virtual address space
    double startTimeSeconds = 0;    // when it started, seconds since 1970 (UTC); 0 when unknown
    int64_t openFiles = -1;         // open file descriptors or handles; -1 when unknown
    int64_t maxFiles = -1;          // their limit; -1 when unknown or unlimited
};

// This process's figures; false when the system gives none (then out keeps what it could).
bool readSelfUsage(SelfUsage& out);

} // namespace platform
