#pragma once

#include "core/lists/CellTexts.h"

#include "capengine/XEngineRows.h"

#include <array>
#include <string>
#include <vector>

class XEngine;

namespace orvane {

// The ten busiest addresses of one category, as the ranking list shows them: address, port,
// DNS name, location, value and program. Computed on demand (tab shown, category clicked),
// never by the timer.
class Ranking {
public:
    // The columns of the ranking list, left to right.
    enum class Column { Address, Port, DnsName, Location, Value, Program };
    static constexpr int kRows = 10;
    static constexpr int kColumns = 6;
    static constexpr std::size_t kBufferStep = 2000;
    using Row = std::array<std::string, kColumns>;

    explicit Ranking(CellSources sources);

    // Recomputes for category (0-11; another value blanks the list). Returns the number of
    // addresses that qualified.
    int compute(int category, XEngine& engine);

    const std::array<Row, kRows>& rows() const { return m_rows; }
    // The qualifying addresses of the last computation, largest first for the first ten.
    const std::vector<XRankedItem>& ranked() const { return m_buffer; }

private:
    Row rowOf(const XRankedItem& item, XTrafficKind kind, XEngine& engine) const;

    CellSources m_sources;
    std::vector<XRankedItem> m_buffer;
    std::array<Row, kRows> m_rows;
};

} // namespace orvane
