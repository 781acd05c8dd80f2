#include "core/processes/ProcessMeter.h"

#include <algorithm>
#include <cstring>

namespace orvane {

namespace {

// Bytes over seconds, as a speed that fits the list's 32 bits.
std::uint32_t rate(std::uint64_t bytes, double seconds)
{
    const double r = double(bytes) / seconds;
    return r >= 4294967295.0 ? 0xffffffffu : std::uint32_t(r);
}

std::uint32_t saturatedAdd(std::uint32_t a, std::uint32_t b)
{
    return b > 0xffffffffu - a ? 0xffffffffu : a + b;
}

std::uint32_t clamp32(std::uint64_t v)
{
    return std::uint32_t(std::min<std::uint64_t>(v, 0xffffffffu));
}

// The growth of a run total since the previous update; a total below the last one (an engine
// that cannot tell a reused pid from its predecessor) counts from zero.
std::uint64_t growth(std::uint64_t now, std::uint64_t& last)
{
    const std::uint64_t d = now >= last ? now - last : now;
    last = now;
    return d;
}

// The mean of the previous and the current speed, for a figure that starts or stops.
std::uint32_t halfway(std::uint32_t previous, std::uint32_t current)
{
    return std::uint32_t((std::uint64_t(previous) + current) / 2);
}

bool startsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

} // namespace

bool ProcessMeter::isWritebackThread(const XProcessRow& row)
{
    // Kernel threads have no image; a program naming itself like one still has its file.
    if (!row.path.empty())
        return false;
    for (const char* prefix : {"kworker/", "flush-", "jbd2/", "kswapd", "writeback", "xfsaild/", "btrfs-"})
        if (startsWith(row.name, prefix))
            return true;
    return false;
}

const ProgramRecord* ProcessMeter::find(const std::string& key) const
{
    const auto it = m_records.find(key);
    return it == m_records.end() ? nullptr : &it->second;
}

std::vector<ProgramRecord> ProcessMeter::recordList() const
{
    std::vector<ProgramRecord> list;
    list.reserve(m_records.size());
    for (const auto& [key, r] : m_records)
        list.push_back(r);
    return list;
}

ProgramRecord& ProcessMeter::systemRecord()
{
    auto [it, created] = m_records.try_emplace(kSystemName);
    if (created)
        m_seenAt[kSystemName] = m_clockMs;
    it->second.name = kSystemName;
    return it->second;
}

void ProcessMeter::markRunning(const XProcessRow& row)
{
    if (row.pid == 0)
        return;
    const auto it = m_seenAt.find(isWritebackThread(row) ? std::string(kSystemName) : row.name.substr(0, 63));
    if (it != m_seenAt.end())
        it->second = m_clockMs;
}

void ProcessMeter::forgetGonePrograms()
{
    std::erase_if(m_seenAt, [this](const auto& entry) {
        const bool gone = m_clockMs - entry.second > kForgetAfterMs;
        if (gone)
            m_records.erase(entry.first);
        return gone;
    });
    if (m_records.size() <= kRecordLimit)
        return;
    // Too many programs still: the longest gone go, down to the limit.
    std::vector<std::pair<std::uint64_t, std::string>> bySeen;
    bySeen.reserve(m_seenAt.size());
    for (const auto& [name, seen] : m_seenAt)
        bySeen.emplace_back(seen, name);
    const std::size_t excess = m_records.size() - kRecordLimit;
    std::nth_element(bySeen.begin(), bySeen.begin() + std::ptrdiff_t(excess), bySeen.end());
    for (std::size_t i = 0; i < excess; ++i) {
        m_records.erase(bySeen[i].second);
        m_seenAt.erase(bySeen[i].second);
    }
}

ProgramRecord* ProcessMeter::identify(const XProcessRow& row)
{
    if (row.pid == 0)
        return nullptr;  // traffic no local process owns
    if (isWritebackThread(row)) {
        ProgramRecord& r = systemRecord();
        r.pid = row.pid;
        return &r;
    }
    const std::string name = row.name.substr(0, 63);
    // Processes that ended before they could be named share the record of the empty name
    // (shown with the last one's pid): a busy machine has many of them.
    auto [it, created] = m_records.try_emplace(name);
    ProgramRecord& r = it->second;
    if (created) {
        r.name = name;
        m_seenAt[name] = m_clockMs;
    }
    if (r.path.empty())
        r.path = row.path;
    r.pid = row.pid;
    return &r;
}

void ProcessMeter::update(const XProcessTotals& totals)
{
    if (totals.samples == m_samples)
        return;  // the engine has not sampled since: no new interval
    const std::uint64_t intervals = totals.samples > m_samples ? totals.samples - m_samples : 1;
    m_samples = totals.samples;
    double seconds = double(totals.intervalMs) * 0.001 * double(intervals);
    if (seconds <= 0)
        seconds = 1;
    m_clockMs += std::uint64_t(seconds * 1000);

    for (auto& [key, r] : m_records) {
        r.previous = r.current;
        r.current = {};
        r.shown = {};
    }

    std::vector<ProcessBytes> disk, net, candidates;
    ProcessBytes system{nullptr, 0, 0, 0};
    for (const XProcessRow& row : totals.rows) {
        // An ended program's row only sums what its processes moved while they ran, and the
        // meter counted that from their own rows then.
        if (row.ended)
            continue;
        RunTotals& last = m_processes[{row.pid, row.started}];
        last.seenAt = m_samples;
        markRunning(row);
        const std::uint64_t received = growth(row.received, last.received);
        const std::uint64_t sent = growth(row.sent, last.sent);
        const std::uint64_t read = growth(row.read, last.read);
        const std::uint64_t written = growth(row.written, last.written);
        if ((received | sent | read | written) == 0)
            continue;
        ProgramRecord* record = identify(row);
        if (!record)
            continue;
        if (received | sent)
            net.push_back({record, row.pid, received, sent});
        if ((read | written) == 0)
            continue;
        if (record->name == kSystemName && isWritebackThread(row)) {
            // Every writeback thread's bytes together are the one "System" figure.
            system = {record, row.pid, system.in + read, system.out + written};
        } else {
            disk.push_back({record, row.pid, read, written});
            candidates.push_back(disk.back());
        }
    }
    forgetEndedProcesses();
    if (system.record)
        disk.insert(disk.begin(), system);
    reattributeSystemDisk(disk, candidates, seconds);
    applyDisk(disk, seconds);
    applyNet(net, seconds);
    publish();
    forgetGonePrograms();
}

void ProcessMeter::forgetEndedProcesses()
{
    // A process the engine no longer lists has ended (its bytes are in its program's record):
    // the meter follows no more processes than the engine does.
    std::erase_if(m_processes, [this](const auto& entry) { return entry.second.seenAt != m_samples; });
}

void ProcessMeter::reattributeSystemDisk(std::vector<ProcessBytes>& disk, const std::vector<ProcessBytes>& candidates,
                                         double seconds)
{
    // The process whose disk rate is highest in this interval (the writeback threads do not
    // compete: they are what is being explained).
    m_busiestPid = 0;
    m_busiestRate = 0;
    ProgramRecord* busiest = nullptr;
    for (const ProcessBytes& b : candidates) {
        const std::uint32_t r = rate(b.in + b.out, seconds);
        if (r > m_busiestRate) {
            m_busiestRate = r;
            m_busiestPid = b.pid;
            busiest = b.record;
        }
    }
    if (disk.empty() || disk.front().record == nullptr || disk.front().record->name != kSystemName)
        return;
    ProcessBytes& system = disk.front();
    if (busiest == nullptr || busiest->name == kSystemName)
        return;
    const std::uint64_t systemBytes = system.in + system.out;
    for (std::size_t i = 1; i < disk.size(); ++i)
        if (disk[i].in + disk[i].out > systemBytes)
            return;
    // Writeback of about ten seconds' worth of the busiest process's I/O or less is its own.
    if (systemBytes / m_busiestRate < 10) {
        system.record = busiest;
        system.pid = m_busiestPid;
    }
}

void ProcessMeter::applyDisk(const std::vector<ProcessBytes>& disk, double seconds)
{
    if (disk.empty()) {
        for (auto& [key, r] : m_records) {
            r.shown.read = halfway(r.previous.read, r.current.read);
            r.shown.write = halfway(r.previous.write, r.current.write);
        }
        m_diskReported = false;
        return;
    }
    for (const ProcessBytes& b : disk) {
        ProgramRecord& r = *b.record;
        if (r.diskSeen) {
            r.current.read = saturatedAdd(r.current.read, rate(b.in, seconds));
            r.current.write = saturatedAdd(r.current.write, rate(b.out, seconds));
        } else {
            r.diskSeen = true;
        }
        r.totals.read += b.in;
        r.totals.write += b.out;
        r.pid = b.pid;
        r.shown.read = m_diskReported ? r.current.read : halfway(r.previous.read, r.current.read);
        r.shown.write = m_diskReported ? r.current.write : halfway(r.previous.write, r.current.write);
    }
    m_diskReported = true;
}

void ProcessMeter::applyNet(const std::vector<ProcessBytes>& net, double seconds)
{
    if (net.empty()) {
        for (auto& [key, r] : m_records) {
            r.shown.down = halfway(r.previous.down, r.current.down);
            r.shown.up = halfway(r.previous.up, r.current.up);
        }
        m_netReported = false;
        return;
    }
    for (const ProcessBytes& b : net) {
        ProgramRecord& r = *b.record;
        if (r.netSeen) {
            r.current.down = rate(b.in, seconds);
            r.current.up = rate(b.out, seconds);
        } else {
            r.netSeen = true;
        }
        r.totals.down += b.in;
        r.totals.up += b.out;
        r.shown.down = m_netReported ? r.current.down : halfway(r.previous.down, r.current.down);
        r.shown.up = m_netReported ? r.current.up : halfway(r.previous.up, r.current.up);
    }
    m_netReported = true;
}

void ProcessMeter::publish()
{
    ProgramFigures f;
    std::uint64_t read = 0, write = 0, bestDisk = 0, bestNet = 0;
    for (const auto& [key, r] : m_records) {
        read += r.shown.read;
        write += r.shown.write;
        const std::uint64_t d = std::uint64_t(r.shown.read) + r.shown.write;
        const std::uint64_t n = std::uint64_t(r.shown.down) + r.shown.up;
        if (d > bestDisk) {
            bestDisk = d;
            f.busiestDisk = {clamp32(d), displayName(r)};
        }
        if (n > bestNet) {
            bestNet = n;
            f.busiestNet = {clamp32(n), displayName(r)};
        }
    }
    f.diskRead = clamp32(read);
    f.diskWrite = clamp32(write);
    m_figures = std::move(f);
}

} // namespace orvane
