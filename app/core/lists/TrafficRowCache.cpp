#include "core/lists/TrafficRowCache.h"

#include "core/lists/CellTexts.h"

#include <algorithm>

namespace orvane {

std::vector<int> TrafficRowCache::load(int first, int last, const Fetch& fetch, const TrafficCellText& texts,
                                       std::uint32_t nowMs, bool repaintAll)
{
    std::vector<int> repaint;
    first = std::max(first, 0);
    const int count = last < first ? 0 : std::min(last - first + 1, kSize);
    m_first = first;
    m_filled = count;
    for (int i = 0; i < count; ++i) {
        Entry& e = m_entries[std::size_t(i)];
        const int row = first + i;
        if (!fetch(row, e.record)) {
            // Gone from the engine (or past the end): the row shows nothing.
            if (e.row != -1 || e.wasActive || repaintAll)
                repaint.push_back(row);
            e.row = -1;
            e.active = e.wasActive = false;
            continue;
        }
        e.row = row;
        for (int c = 0; c < texts.columns() && c < kTrafficColumns; ++c)
            e.cells[std::size_t(c)] = texts.cell(TrafficColumn(c), e.record);
        e.active = activeAt(e.record.lastUpdate, nowMs);
        if (e.active) {
            repaint.push_back(row);
            e.wasActive = true;
        } else if (e.wasActive || repaintAll) {
            repaint.push_back(row);
            e.wasActive = false;
        }
    }
    for (int i = count; i < kSize; ++i)
        m_entries[std::size_t(i)].row = -1;
    return repaint;
}

const TrafficRowCache::Entry* TrafficRowCache::find(int row) const
{
    const int slot = row - m_first;
    if (slot < 0 || slot >= m_filled)
        return nullptr;
    const Entry& e = m_entries[std::size_t(slot)];
    return e.row == row ? &e : nullptr;
}

void TrafficRowCache::clear()
{
    for (Entry& e : m_entries)
        e = Entry{};
    m_first = m_filled = 0;
}

} // namespace orvane
