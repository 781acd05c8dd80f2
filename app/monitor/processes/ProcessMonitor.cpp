#include "monitor/processes/ProcessMonitor.h"

#include "config/TextUtil.h"
#include "views/lists/TextOrder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orvane {

namespace {

constexpr double kKilo = 1024.0;
constexpr double kMega = 1048576.0;
constexpr double kGiga = 1073741824.0;
constexpr double kTera = 1099511627776.0;

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

// The growth of a run total since the previous update; a total below the last one (a pid
// that came back) counts from zero.
std::uint64_t growth(std::uint64_t now, std::uint64_t& last)
{
    const std::uint64_t d = now >= last ? now - last : now;
    last = now;
    return d;
}

bool startsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

template <typename T>
int compareNumbers(T a, T b)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

} // namespace

bool ProcessMonitor::isWritebackThread(const XProcessRow& row)
{
    // Kernel threads have no image; a program naming itself like one still has its file.
    if (!row.path.empty())
        return false;
    for (const char* prefix : {"kworker/", "flush-", "jbd2/", "kswapd", "writeback", "xfsaild/", "btrfs-"})
        if (startsWith(row.name, prefix))
            return true;
    return false;
}

const ProgramRecord* ProcessMonitor::find(const std::string& key) const
{
    const auto it = m_records.find(key);
    return it == m_records.end() ? nullptr : &it->second;
}

ProgramRecord& ProcessMonitor::systemRecord()
{
    ProgramRecord& r = m_records[kSystemName];
    r.name = kSystemName;
    return r;
}

ProgramRecord* ProcessMonitor::identify(const XProcessRow& row)
{
    if (row.pid == 0)
        return nullptr;  // traffic no local process owns
    if (isWritebackThread(row)) {
        ProgramRecord& r = systemRecord();
        r.pid = row.pid;
        return &r;
    }
    const std::string name = row.name.substr(0, 63);
    // Processes that ended before they could be named share the row of the empty name (shown
    // with the last one's pid): a busy machine has many of them.
    auto [it, created] = m_records.try_emplace(name);
    ProgramRecord& r = it->second;
    if (created)
        r.name = name;
    if (r.path.empty())
        r.path = row.path;
    r.pid = row.pid;
    return &r;
}

void ProcessMonitor::update(const XProcessTotals& totals)
{
    if (totals.samples == m_samples)
        return;  // the engine has not sampled since: no new interval
    const std::uint64_t intervals = totals.samples > m_samples ? totals.samples - m_samples : 1;
    m_samples = totals.samples;
    double seconds = double(totals.intervalMs) * 0.001 * double(intervals);
    if (seconds <= 0)
        seconds = 1;

    for (auto& [key, r] : m_records) {
        r.previousRead = r.currentRead;
        r.previousWrite = r.currentWrite;
        r.previousDown = r.currentDown;
        r.previousUp = r.currentUp;
        r.currentRead = r.currentWrite = r.currentDown = r.currentUp = 0;
        r.shownRead = r.shownWrite = r.shownDown = r.shownUp = 0;
    }

    std::vector<Triple> disk, net, candidates;
    Triple system{nullptr, 0, 0, 0};
    for (const XProcessRow& row : totals.rows) {
        PidState& last = m_pids[row.pid];
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
    if (system.record)
        disk.insert(disk.begin(), system);
    reattributeSystemDisk(disk, candidates, seconds);
    applyDisk(disk, seconds);
    applyNet(net, seconds);
    publish();
}

void ProcessMonitor::reattributeSystemDisk(std::vector<Triple>& disk, const std::vector<Triple>& candidates,
                                           double seconds)
{
    // The process whose disk rate is highest in this interval (the writeback threads do not
    // compete: they are what is being explained).
    m_busiestPid = 0;
    m_busiestRate = 0;
    ProgramRecord* busiest = nullptr;
    for (const Triple& t : candidates) {
        const std::uint32_t r = rate(t.in + t.out, seconds);
        if (r > m_busiestRate) {
            m_busiestRate = r;
            m_busiestPid = t.pid;
            busiest = t.record;
        }
    }
    if (disk.empty() || disk.front().record == nullptr || disk.front().record->name != kSystemName)
        return;
    Triple& system = disk.front();
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

void ProcessMonitor::applyDisk(const std::vector<Triple>& disk, double seconds)
{
    if (disk.empty()) {
        for (auto& [key, r] : m_records) {
            r.shownRead = std::uint32_t((std::uint64_t(r.previousRead) + r.currentRead) / 2);
            r.shownWrite = std::uint32_t((std::uint64_t(r.previousWrite) + r.currentWrite) / 2);
        }
        m_diskReported = false;
        return;
    }
    for (const Triple& t : disk) {
        ProgramRecord& r = *t.record;
        if (r.diskSeen) {
            r.currentRead = saturatedAdd(r.currentRead, rate(t.in, seconds));
            r.currentWrite = saturatedAdd(r.currentWrite, rate(t.out, seconds));
        } else {
            r.diskSeen = true;
        }
        r.readTotal += t.in;
        r.writeTotal += t.out;
        r.pid = t.pid;
        r.shownRead = m_diskReported ? r.currentRead : std::uint32_t((std::uint64_t(r.previousRead) + r.currentRead) / 2);
        r.shownWrite = m_diskReported ? r.currentWrite : std::uint32_t((std::uint64_t(r.previousWrite) + r.currentWrite) / 2);
    }
    m_diskReported = true;
}

void ProcessMonitor::applyNet(const std::vector<Triple>& net, double seconds)
{
    if (net.empty()) {
        for (auto& [key, r] : m_records) {
            r.shownDown = std::uint32_t((std::uint64_t(r.previousDown) + r.currentDown) / 2);
            r.shownUp = std::uint32_t((std::uint64_t(r.previousUp) + r.currentUp) / 2);
        }
        m_netReported = false;
        return;
    }
    for (const Triple& t : net) {
        ProgramRecord& r = *t.record;
        if (r.netSeen) {
            r.currentDown = rate(t.in, seconds);
            r.currentUp = rate(t.out, seconds);
        } else {
            r.netSeen = true;
        }
        r.downTotal += t.in;
        r.upTotal += t.out;
        r.shownDown = m_netReported ? r.currentDown : std::uint32_t((std::uint64_t(r.previousDown) + r.currentDown) / 2);
        r.shownUp = m_netReported ? r.currentUp : std::uint32_t((std::uint64_t(r.previousUp) + r.currentUp) / 2);
    }
    m_netReported = true;
}

void ProcessMonitor::publish()
{
    ProcessFigures f;
    std::uint64_t read = 0, write = 0, bestDisk = 0, bestNet = 0;
    for (const auto& [key, r] : m_records) {
        read += r.shownRead;
        write += r.shownWrite;
        const std::uint64_t d = std::uint64_t(r.shownRead) + r.shownWrite;
        const std::uint64_t n = std::uint64_t(r.shownDown) + r.shownUp;
        if (d > bestDisk) {
            bestDisk = d;
            f.busiestDisk = {std::uint32_t(std::min<std::uint64_t>(d, 0xffffffffu)), cellText(r, 0)};
        }
        if (n > bestNet) {
            bestNet = n;
            f.busiestNet = {std::uint32_t(std::min<std::uint64_t>(n, 0xffffffffu)), cellText(r, 0)};
        }
    }
    f.diskRead = std::uint32_t(std::min<std::uint64_t>(read, 0xffffffffu));
    f.diskWrite = std::uint32_t(std::min<std::uint64_t>(write, 0xffffffffu));
    m_figures = std::move(f);
}

void ProcessMonitor::clickColumn(int column)
{
    if (column < 0 || column >= kColumns)
        return;
    if (column == m_sortColumn)
        m_descending = !m_descending;
    else
        m_sortColumn = column;
}

std::vector<const ProgramRecord*> ProcessMonitor::sortedRows() const
{
    std::vector<const ProgramRecord*> rows;
    rows.reserve(m_records.size());
    for (const auto& [key, r] : m_records)
        rows.push_back(&r);
    const int column = m_sortColumn;
    const auto compare = [column](const ProgramRecord& a, const ProgramRecord& b) {
        switch (column) {
        case 0: return compareTextNoCase(cellText(a, 0), cellText(b, 0));
        case 1: return compareNumbers(a.shownDown, b.shownDown);
        case 2: return compareNumbers(a.shownUp, b.shownUp);
        case 3: return compareNumbers(a.downTotal, b.downTotal);
        case 4: return compareNumbers(a.upTotal, b.upTotal);
        case 5: return compareNumbers(a.shownRead, b.shownRead);
        case 6: return compareNumbers(a.shownWrite, b.shownWrite);
        case 7: return compareNumbers(a.readTotal + a.writeTotal, b.readTotal + b.writeTotal);
        case 8: return compareTextNoCase(a.path, b.path);
        default: return 0;
        }
    };
    const bool descending = m_descending;
    std::stable_sort(rows.begin(), rows.end(), [&](const ProgramRecord* a, const ProgramRecord* b) {
        const int c = compare(*a, *b);
        return descending ? c > 0 : c < 0;
    });
    return rows;
}

std::string ProcessMonitor::formatValue(double v)
{
    char text[48];
    if (!(v >= 0))
        v = 0;
    if (v < 1000)
        std::snprintf(text, sizeof text, "%.0lf", v);
    else if (v < 1024000)
        std::snprintf(text, sizeof text, "%.1lf %s", v / kKilo, "K");
    else if (v < 1000 * kMega)
        std::snprintf(text, sizeof text, "%.2lf %s", v / kMega, "M");
    else if (v < 1000 * kGiga)
        std::snprintf(text, sizeof text, "%.3lf %s", v / kGiga, "G");
    else
        std::snprintf(text, sizeof text, "%.1lf %s", v / kTera, "T");
    return text;
}

std::string ProcessMonitor::cellText(const ProgramRecord& r, int column)
{
    switch (column) {
    case 0: return r.name.empty() ? "PID:" + std::to_string(r.pid) : lumivex::config::visibleText(r.name);
    case 1: return formatValue(r.shownDown);
    case 2: return formatValue(r.shownUp);
    case 3: return formatValue(double(r.downTotal));
    case 4: return formatValue(double(r.upTotal));
    case 5: return formatValue(r.shownRead);
    case 6: return formatValue(r.shownWrite);
    case 7: return formatValue(double(r.readTotal + r.writeTotal));
    case 8: return lumivex::config::visibleText(r.path);
    default: return {};
    }
}

} // namespace orvane
