#include "core/summary/SystemSampler.h"

#include <algorithm>
#include <utility>

namespace orvane {

SystemSampler::SystemSampler() : SystemSampler(platform::readCpuTimes, platform::readCommitCharge) {}

SystemSampler::SystemSampler(CpuReader cpu, CommitReader commit)
    : m_cpu(std::move(cpu)), m_commit(std::move(commit))
{
}

int SystemSampler::cpuUsage()
{
    platform::CpuTimes now;
    if (!m_cpu || !m_cpu(now))
        return 0;
    const platform::CpuTimes before = std::exchange(m_previous, now);
    if (std::exchange(m_first, false))
        return 0;
    // Counters that went backwards (a reset, a bad read) count as no time passed.
    auto delta = [](uint64_t a, uint64_t b) { return a > b ? a - b : uint64_t(0); };
    const uint64_t idle = delta(now.idle, before.idle);
    const uint64_t total = delta(now.kernel, before.kernel) + delta(now.user, before.user);
    if (total == 0)
        return 0;
    return int((total - std::min(idle, total)) * 100 / total);
}

int SystemSampler::memoryUsage()
{
    platform::CommitCharge charge;
    if (!m_commit || !m_commit(charge) || charge.limit == 0)
        return 0;
    // Committed memory may exceed the limit when overcommit is allowed: the meter stops at 100.
    const long double percent = static_cast<long double>(charge.committed) * 100 / charge.limit;
    return int(std::min<long double>(percent, 100));
}

} // namespace orvane
