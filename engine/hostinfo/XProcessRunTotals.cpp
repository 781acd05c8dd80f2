#include "hostinfo/XProcessRunTotals.h"

#include <algorithm>

XProcessRunTotals::XProcessRunTotals(NameOf name, NameOf path, StartOf start)
    : m_name(std::move(name)), m_path(std::move(path)), m_start(std::move(start))
{
}

XProcessRow& XProcessRunTotals::rowFor(uint32_t pid)
{
    const uint64_t started = m_start ? m_start(pid) : 0;
    auto it = m_live.find(pid);
    // Another process has the pid now: the row of the one before it is complete. (A process
    // that ended before its last bytes were drained reads as started 0: they are its own.)
    if (it != m_live.end() && started != 0 && started != it->second.row.started) {
        fold(it);
        it = m_live.end();
    }
    if (it == m_live.end()) {
        if (m_live.size() >= kMaxProcesses)
            foldIdlest();
        it = m_live.try_emplace(pid).first;
        XProcessRow& row = it->second.row;
        row.pid = pid;
        row.started = started;
        if (m_path)
            row.path = m_path(pid);
    }
    Process& process = it->second;
    process.activeAt = m_samples + 1;
    // Named while it still runs: a drain follows its events within a second. A process first
    // seen without a name (its disk bytes came before the source named it) is asked again.
    if (m_name && process.row.name.empty())
        process.row.name = m_name(pid);
    return process.row;
}

XProcessRunTotals::Live::iterator XProcessRunTotals::fold(Live::iterator process)
{
    const XProcessRow& row = process->second.row;
    auto ended = m_ended.find(row.name);
    if (ended == m_ended.end()) {
        const std::string& key = m_ended.size() < kMaxEndedPrograms ? row.name : std::string();
        ended = m_ended.try_emplace(key).first;
        ended->second.name = key;
        ended->second.path = key.empty() ? std::string() : row.path;
        ended->second.ended = true;
    }
    XProcessRow& sum = ended->second;
    sum.pid = row.pid;
    sum.received += row.received;
    sum.sent += row.sent;
    sum.packetsReceived += row.packetsReceived;
    sum.packetsSent += row.packetsSent;
    sum.read += row.read;
    sum.written += row.written;
    return m_live.erase(process);
}

void XProcessRunTotals::foldEnded()
{
    const uint64_t now = m_samples + 1;
    for (auto it = m_live.begin(); it != m_live.end();) {
        // Only a process that had nothing new in this interval: every reader after the last
        // add() has seen its final totals as its own row.
        const bool idle = it->second.activeAt != now;
        if (idle) {
            const uint64_t started = m_start(it->first);
            if (started == 0 || started != it->second.row.started) {
                it = fold(it);
                continue;
            }
        }
        ++it;
    }
}

void XProcessRunTotals::foldIdlest()
{
    const uint64_t now = m_samples + 1;
    auto idlest = m_live.end();
    for (auto it = m_live.begin(); it != m_live.end(); ++it)
        if (it->second.activeAt != now && (idlest == m_live.end() || it->second.activeAt < idlest->second.activeAt))
            idlest = it;
    if (idlest != m_live.end())
        fold(idlest);
}

void XProcessRunTotals::add(const IoTriple* net, int netCount, const IoTriple* disk, int diskCount,
                            uint32_t intervalMs, Programs* programs)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    for (auto& [pid, process] : m_live)
        process.row.lastReceived = process.row.lastSent = process.row.lastRead = process.row.lastWritten = 0;
    const auto named = [programs](uint32_t pid, const XProcessRow& row) {
        if (programs)
            programs->try_emplace(pid, Program{row.name, row.path});
    };
    int netReports = 0;
    for (int i = 0; i < netCount; ++i) {
        if (net[i].pid == 0) {
            m_unownedReceived += net[i].in;
            m_unownedSent += net[i].out;
            continue;
        }
        XProcessRow& row = rowFor(net[i].pid);
        row.received += net[i].in;
        row.sent += net[i].out;
        row.packetsReceived += net[i].packetsIn;
        row.packetsSent += net[i].packetsOut;
        row.lastReceived += net[i].in;
        row.lastSent += net[i].out;
        named(net[i].pid, row);
        ++netReports;
    }
    int diskReports = 0;
    for (int i = 0; i < diskCount; ++i) {
        if (disk[i].pid == 0)
            continue;  // folded beyond the bound: no program to give them to
        XProcessRow& row = rowFor(disk[i].pid);
        row.read += disk[i].in;
        row.written += disk[i].out;
        row.lastRead += disk[i].in;
        row.lastWritten += disk[i].out;
        named(disk[i].pid, row);
        ++diskReports;
    }
    if (m_start && (m_samples + 1) % kSweepSamples == 0)
        foldEnded();
    m_intervalMs = intervalMs;
    m_netReports = netReports;
    m_diskReports = diskReports;
    ++m_samples;
}

XProcessTotals XProcessRunTotals::read() const
{
    XProcessTotals totals;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        totals.rows.reserve(m_live.size() + m_ended.size());
        for (const auto& [pid, process] : m_live)
            totals.rows.push_back(process.row);
        for (const auto& [name, row] : m_ended)
            totals.rows.push_back(row);
        totals.intervalMs = m_intervalMs;
        totals.netReports = m_netReports;
        totals.diskReports = m_diskReports;
        totals.samples = m_samples;
        totals.unownedReceived = m_unownedReceived;
        totals.unownedSent = m_unownedSent;
    }
    std::stable_sort(totals.rows.begin(), totals.rows.end(), [](const XProcessRow& a, const XProcessRow& b) {
        return a.sent + a.received + a.read + a.written > b.sent + b.received + b.read + b.written;
    });
    return totals;
}

XProcessRunTotals::Program XProcessRunTotals::programOf(uint32_t pid) const
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        const auto it = m_live.find(pid);
        if (it != m_live.end() && !it->second.row.name.empty())
            return {it->second.row.name, it->second.row.path};
    }
    return {m_name ? m_name(pid) : std::string(), m_path ? m_path(pid) : std::string()};
}
