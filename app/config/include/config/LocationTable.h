#pragma once

#include "config/LocationRange.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumivex::config {

// A list of address ranges searched by binary search over the first addresses.
class LocationTable {
public:
    void reserve(std::size_t count) { m_ranges.reserve(count); }
    void add(const LocationRange& range) { m_ranges.push_back(range); }
    std::size_t size() const { return m_ranges.size(); }
    const std::vector<LocationRange>& ranges() const { return m_ranges; }

    // Makes the list searchable: sorts it by first address (keeping the file order of equal
    // addresses) unless it is sorted already, then drops every range whose last address is
    // below its first or that overlaps a range kept before it. Returns the number dropped.
    std::size_t normalise();

    // The range holding address, or null.
    const LocationRange* find(std::uint32_t address) const;

private:
    std::vector<LocationRange> m_ranges;
};

} // namespace lumivex::config
