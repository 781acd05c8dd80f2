#pragma once

#include "core/ValueFormat.h"
#include "core/lists/ListColumn.h"

#include "capengine/XEngineRows.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvane {

class TrafficCellText;

// The rows of a traffic list on show: at most 100 records with their cells, loaded by
// position, and whether each row had traffic in the last two seconds.
class TrafficRowCache {
public:
    static constexpr int kSize = 100;
    static constexpr std::uint32_t kActiveMs = 2000;

    struct Entry {
        int row = -1;  // -1: empty
        XTrafficRow record;
        std::array<ColoredText, kTrafficColumns> cells;
        bool active = false;
        bool wasActive = false;
    };

    using Fetch = std::function<bool(int row, XTrafficRow& out)>;

    // Loads rows first..last (at most kSize of them) and returns the rows to repaint: every
    // active row, and a row that was active at the previous load (or every loaded row when
    // repaintAll). A row fetch cannot supply leaves its entry empty.
    std::vector<int> load(int first, int last, const Fetch& fetch, const TrafficCellText& texts,
                          std::uint32_t nowMs, bool repaintAll);
    // The entry of a row, null when it is not loaded (or its record was not available).
    const Entry* find(int row) const;
    int first() const { return m_first; }
    int filled() const { return m_filled; }
    void clear();

    // Whether a record last active at lastUpdate is active at nowMs (age taken modulo 2^32,
    // so the tick wrap-around does not matter).
    static bool activeAt(std::uint32_t lastUpdate, std::uint32_t nowMs) { return nowMs - lastUpdate <= kActiveMs; }

private:
    std::array<Entry, kSize> m_entries;
    int m_first = 0;
    int m_filled = 0;
};

} // namespace orvane
