#include "core/connections/ConnectionTable.h"

#include "config/DataFileStore.h"
#include "config/TextUtil.h"
#include "core/WallClock.h"
#include "core/lists/TextOrder.h"

#include "capengine/XEngine.h"

#include <algorithm>
#include <cstdio>

namespace orvane {

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

std::string endpoint(std::uint32_t address, std::uint16_t port)
{
    return dottedAddress(address) + ":" + std::to_string(port);
}

} // namespace

ConnectionTable::ConnectionTable(CellSources sources, std::function<std::string(const char*)> localText,
                                 std::function<std::int64_t()> nowEpochMs)
    : m_sources(std::move(sources)), m_text(std::move(localText)), m_now(std::move(nowEpochMs))
{
    if (!m_text)
        m_text = [](const char* key) { return std::string(key); };
    if (!m_now)
        m_now = [] { return WallClock::systemEpochMs(); };
}

const char* ConnectionTable::stateName(int state)
{
    static const char* const kNames[13] = {"",          "CLOSED",   "LISTEN",    "SYN_SENT",  "SYN_RECEIVED",
                                           "ESTABLISHED", "FIN_WAIT1", "FIN_WAIT2", "CLOSE_WAIT", "CLOSING",
                                           "LAST_ACK",  "TIME_WAIT", "DELETE_TCB"};
    return state >= 0 && state <= 12 ? kNames[state] : "";
}

std::string ConnectionTable::startText(std::uint64_t firstSeenMs)
{
    if (firstSeenMs == 0 || firstSeenMs > std::uint64_t(INT64_MAX))
        return {};
    const LocalTime t = WallClock::localTimeOfEpoch(std::int64_t(firstSeenMs));
    char text[48];
    std::snprintf(text, sizeof text, " %02i:%02i:%02i-%02i/%2i", t.hour, t.minute, t.second, t.day, t.month);
    return text;
}

std::string ConnectionTable::ageText(std::uint64_t firstSeenMs, std::int64_t nowMs) const
{
    if (firstSeenMs == 0 || firstSeenMs > std::uint64_t(INT64_MAX))
        return {};
    // A clock set back since the socket was first seen must not give a negative age.
    const std::int64_t age = std::max<std::int64_t>(0, nowMs / 1000 - std::int64_t(firstSeenMs) / 1000);
    const long long days = age / 86400;
    const int hours = int(age % 86400 / 3600), minutes = int(age % 3600 / 60), seconds = int(age % 60);
    char text[64];
    if (days == 0)
        std::snprintf(text, sizeof text, " %02i:%02i:%02i", hours, minutes, seconds);
    else
        std::snprintf(text, sizeof text, " %2lli %s %02i:%02i:%02i", days, m_text("days").c_str(), hours, minutes, seconds);
    return text;
}

ConnectionTable::Row ConnectionTable::textsOf(const XSocketRow& s, XEngine& engine, std::int64_t nowMs) const
{
    Row row;
    auto cell = [&row](Column column) -> std::string& { return row[std::size_t(column)]; };
    cell(Column::Protocol) = s.tcp ? "    TCP" : "    UDP";
    cell(Column::Program) = s.program.empty() ? "System" : lumivex::config::visibleText(s.program);
    cell(Column::Local) = endpoint(s.localAddr, s.localPort);
    const std::uint32_t remote = s.tcp ? s.remoteAddr : 0;
    cell(Column::Remote) = endpoint(remote, s.tcp ? s.remotePort : 0);
    cell(Column::State) = s.tcp && s.state >= 1 && s.state <= 12 ? m_text(stateName(s.state)) : std::string();
    cell(Column::Start) = startText(s.firstSeenMs);
    cell(Column::Age) = ageText(s.firstSeenMs, nowMs);
    cell(Column::Pid) = std::to_string(std::int32_t(s.pid));
    if (remote != 0 && remote != kLoopback) {
        cell(Column::DnsName) = lumivex::config::visibleText(engine.dnsName(remote));
        cell(Column::Location) = m_sources.location(remote);
    }
    return row;
}

int ConnectionTable::rebuild(XEngine& engine)
{
    engine.sockets(m_sockets);
    // TCP rows first, then UDP rows, each in the table's order.
    std::stable_partition(m_sockets.begin(), m_sockets.end(), [](const XSocketRow& s) { return s.tcp; });
    const std::int64_t now = m_now();
    m_entries.clear();
    m_entries.reserve(m_sockets.size());
    for (const XSocketRow& s : m_sockets)
        m_entries.push_back({s, textsOf(s, engine, now)});
    sort();
    return int(m_entries.size());
}

void ConnectionTable::clickColumn(Column column)
{
    if (int(column) < 0 || int(column) >= kColumns)
        return;
    if (column == m_sortColumn) {
        m_descending = !m_descending;
    } else {
        m_sortColumn = column;
        m_descending = false;
    }
    sort();
}

void ConnectionTable::sort()
{
    const std::size_t c = std::size_t(m_sortColumn);
    const bool descending = m_descending;
    std::stable_sort(m_entries.begin(), m_entries.end(), [c, descending](const Entry& a, const Entry& b) {
        const int order = compareTextNoCase(a.texts[c], b.texts[c]);
        return descending ? order > 0 : order < 0;
    });
}

} // namespace orvane
