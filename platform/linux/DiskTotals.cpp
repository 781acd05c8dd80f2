#include "platform/linux/DiskTotals.h"

namespace platform {

namespace {

// Rounds a process that could not be read waits for its exit before it is forgotten.
constexpr uint64_t kRoundsToWait = 3;

} // namespace

void DiskTotals::beginRound(uint64_t nowNs)
{
    ++m_round;
    m_nowNs = nowNs;
    if (m_round == 1)
        m_baselineNs = nowNs;
}

bool DiskTotals::sample(uint32_t pid, uint64_t readBytes, uint64_t writeBytes, Delta& out)
{
    auto [it, inserted] = m_live.try_emplace(pid);
    Last& last = it->second;
    if (inserted) {
        last.firstSeenNs = m_nowNs;
        // A process that went and was read again before its exit arrived is the same one.
        const auto gone = m_gone.find(pid);
        if (gone != m_gone.end()) {
            last = gone->second;
            m_gone.erase(gone);
        } else if (m_round == 1) {
            last.readBytes = readBytes;  // the baseline
            last.writeBytes = writeBytes;
        }
    }
    // Counters that went backwards belong to a new process reusing the pid.
    const bool reused = readBytes < last.readBytes || writeBytes < last.writeBytes;
    if (reused)
        last.firstSeenNs = m_nowNs;
    out.pid = pid;
    out.readBytes = reused ? readBytes : readBytes - last.readBytes;
    out.writeBytes = reused ? writeBytes : writeBytes - last.writeBytes;
    last.readBytes = readBytes;
    last.writeBytes = writeBytes;
    last.round = m_round;
    return out.readBytes != 0 || out.writeBytes != 0;
}

bool DiskTotals::take(const Last& last, const ProcessExit& exit, Delta& out)
{
    out.pid = exit.pid;
    out.readBytes = exit.readBytes > last.readBytes ? exit.readBytes - last.readBytes : 0;
    out.writeBytes = exit.writeBytes > last.writeBytes ? exit.writeBytes - last.writeBytes : 0;
    return out.readBytes != 0 || out.writeBytes != 0;
}

bool DiskTotals::exited(const ProcessExit& exit, Delta& out)
{
    // The entry of this very process: one that started before the pid was first seen. A
    // process that started later took over the pid of one that ended unseen by the feed.
    for (auto* table : {&m_live, &m_gone}) {
        const auto it = table->find(exit.pid);
        if (it != table->end() && exit.startNs <= it->second.firstSeenNs) {
            const Last last = it->second;
            table->erase(it);
            return take(last, exit, out);
        }
    }
    if (m_round == 0 || exit.startNs <= m_baselineNs)
        return false;  // its bytes before the baseline cannot be told from the rest
    return take(Last{}, exit, out);
}

void DiskTotals::endRound()
{
    for (auto it = m_live.begin(); it != m_live.end();) {
        if (it->second.round == m_round) {
            ++it;
            continue;
        }
        Last last = it->second;
        last.round = m_round;
        m_gone[it->first] = last;
        it = m_live.erase(it);
    }
    for (auto it = m_gone.begin(); it != m_gone.end();)
        it = m_round - it->second.round >= kRoundsToWait ? m_gone.erase(it) : std::next(it);
}

void DiskTotals::livePids(std::vector<uint32_t>& out) const
{
    for (const auto& [pid, last] : m_live)
        out.push_back(pid);
}

} // namespace platform
