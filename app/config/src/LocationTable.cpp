#include "config/LocationTable.h"

#include <algorithm>

namespace lumivex::config {

namespace {

bool byFirst(const LocationRange& a, const LocationRange& b)
{
    return a.first < b.first;
}

} // namespace

std::size_t LocationTable::normalise()
{
    if (!std::is_sorted(m_ranges.begin(), m_ranges.end(), byFirst))
        std::stable_sort(m_ranges.begin(), m_ranges.end(), byFirst);
    const std::size_t before = m_ranges.size();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_ranges.size(); ++i) {
        const LocationRange& range = m_ranges[i];
        if (range.last < range.first)
            continue;
        if (kept > 0 && range.first <= m_ranges[kept - 1].last)
            continue;
        if (kept != i)
            m_ranges[kept] = range;
        ++kept;
    }
    m_ranges.resize(kept);
    return before - kept;
}

const LocationRange* LocationTable::find(std::uint32_t address) const
{
    std::ptrdiff_t low = 0;
    std::ptrdiff_t high = static_cast<std::ptrdiff_t>(m_ranges.size()) - 1;
    while (low <= high) {
        const std::ptrdiff_t middle = low + (high - low) / 2;
        const LocationRange& range = m_ranges[static_cast<std::size_t>(middle)];
        if (address >= range.first && address <= range.last)
            return &range;
        if (address > range.first)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return nullptr;
}

} // namespace lumivex::config
