#pragma once

#include "core/lists/CellTexts.h"

#include "capengine/XEngineRows.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class XEngine;

namespace orvane {

// The connections page's snapshot: every TCP connection and UDP endpoint of the machine
// (TCP first), each as the ten texts of its row, sorted as text. Rebuilt when the page is
// brought on show, never on the timer. GUI thread only.
class ConnectionTable {
public:
    // The columns of the page, left to right.
    enum class Column { Protocol, Program, Local, Remote, State, Start, Age, Pid, DnsName, Location };
    static constexpr int kColumns = 10;
    static constexpr Column kInitialSortColumn = Column::Program;
    using Row = std::array<std::string, kColumns>;

    struct Entry {
        XSocketRow socket;
        Row texts;
    };

    // localText: the UI text of a key (the state names and "days"); the key itself when it
    // has none. nowEpochMs: the real-time clock, the system's when empty.
    ConnectionTable(CellSources sources, std::function<std::string(const char*)> localText,
                    std::function<std::int64_t()> nowEpochMs = {});

    // Reads the socket tables again and sorts the rows. Returns the number of rows.
    int rebuild(XEngine& engine);
    // A click on the sort column reverses the order; another column becomes the sort column,
    // ascending.
    void clickColumn(Column column);
    Column sortColumn() const { return m_sortColumn; }
    bool descending() const { return m_descending; }

    const std::vector<Entry>& entries() const { return m_entries; }

    // The texts of one socket at the moment nowMs (milliseconds since 1970).
    Row textsOf(const XSocketRow& socket, XEngine& engine, std::int64_t nowMs) const;
    // " 00:00:59", " 1 days 02:03:04"-style ages; empty for an unknown start.
    std::string ageText(std::uint64_t firstSeenMs, std::int64_t nowMs) const;
    static std::string startText(std::uint64_t firstSeenMs);
    // The TCP state name of a state value (1-12), empty for others.
    static const char* stateName(int state);

private:
    void sort();

    CellSources m_sources;
    std::function<std::string(const char*)> m_text;
    std::function<std::int64_t()> m_now;
    std::vector<Entry> m_entries;
    std::vector<XSocketRow> m_sockets;
    Column m_sortColumn = kInitialSortColumn;
    bool m_descending = false;
};

} // namespace orvane
