#pragma once

#include <cstdint>

namespace platform {

// Processor time of the whole machine since boot, in clock ticks, split the way a load
// meter needs it: idle time, kernel time (which includes the idle time) and user time.
struct CpuTimes {
    uint64_t idle = 0;
    uint64_t kernel = 0;
    uint64_t user = 0;
};

// Committed virtual memory against the limit the system commits to, in KiB.
struct CommitCharge {
    uint64_t committed = 0;
    uint64_t limit = 0;
};

// The machine's processor times; false when they cannot be read.
bool readCpuTimes(CpuTimes& out);
// The machine's commit charge; false when it cannot be read.
bool readCommitCharge(CommitCharge& out);

} // namespace platform
