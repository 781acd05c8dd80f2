#include "hostinfo/XProcessRunTotals.h"

#include <algorithm>

XProcessRunTotals::XProcessRunTotals(NameOf name, NameOf path)
    : m_name(std::move(name)), m_path(std::move(path))
{
}

XProcessRow& XProcessRunTotals::rowFor(uint32_t pid)
{
    auto [it, inserted] = m_rows.try_emplace(pid);
    XProcessRow& row = it->second;
    row.pid = pid;
    // Named while it still runs: a drain follows its events within a second. A process first
    // seen without a name (its disk bytes came before the source named it) is asked again.
    if (m_name && row.name.empty())
        row.name = m_name(pid);
    if (m_path && inserted)
        row.path = m_path(pid);
    return row;
}

void XProcessRunTotals::add(const IoTriple* net, int netCount, const IoTriple* disk, int diskCount,
                            uint32_t intervalMs)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    for (auto& [pid, row] : m_rows)
        row.lastReceived = row.lastSent = row.lastRead = row.lastWritten = 0;
    for (int i = 0; i < netCount; ++i) {
        XProcessRow& row = rowFor(net[i].pid);
        row.received += net[i].in;
        row.sent += net[i].out;
        row.lastReceived = net[i].in;
        row.lastSent = net[i].out;
    }
    for (int i = 0; i < diskCount; ++i) {
        XProcessRow& row = rowFor(disk[i].pid);
        row.read += disk[i].in;
        row.written += disk[i].out;
        row.lastRead = disk[i].in;
        row.lastWritten = disk[i].out;
    }
    m_intervalMs = intervalMs;
    m_netReports = std::max(netCount, 0);
    m_diskReports = std::max(diskCount, 0);
    ++m_samples;
}

XProcessTotals XProcessRunTotals::read() const
{
    XProcessTotals totals;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        totals.rows.reserve(m_rows.size());
        for (const auto& [pid, row] : m_rows)
            totals.rows.push_back(row);
        totals.intervalMs = m_intervalMs;
        totals.netReports = m_netReports;
        totals.diskReports = m_diskReports;
        totals.samples = m_samples;
    }
    std::stable_sort(totals.rows.begin(), totals.rows.end(), [](const XProcessRow& a, const XProcessRow& b) {
        return a.sent + a.received + a.read + a.written > b.sent + b.received + b.read + b.written;
    });
    return totals;
}
