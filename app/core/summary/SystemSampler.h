#pragma once

#include "platform/SystemTimes.h"

#include <functional>

namespace orvane {

// CPU and memory load of the machine, sampled once a tick.
// The readers default to the system's; tests hand in fixed figures. GUI thread only.
class SystemSampler {
public:
    using CpuReader = std::function<bool(platform::CpuTimes&)>;
    using CommitReader = std::function<bool(platform::CommitCharge&)>;

    SystemSampler();
    SystemSampler(CpuReader cpu, CommitReader commit);

    // Percent of processor time spent busy since the previous call, 0-100. The first call
    // only takes the baseline and reports 0; so does a failed read, which keeps the old
    // baseline.
    int cpuUsage();
    // Percent of the commit limit in use, 0-100; 0 when it cannot be read.
    int memoryUsage();

private:
    CpuReader m_cpu;
    CommitReader m_commit;
    platform::CpuTimes m_previous;
    bool m_first = true;
};

} // namespace orvane
