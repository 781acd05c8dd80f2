#pragma once

#include "capengine/XEngineRows.h"

#include <cstdint>
#include <string>

namespace lumivex::config {
class DataFileStore;
}

namespace orvane {

class TrafficModel;

// "a.b.c.d" of a host-order IPv4 address.
std::string dottedAddress(std::uint32_t address);

// What the cells of the lists look up beside the engine: port descriptions and locations
// from the data files, and the text shown for an unknown location.
struct CellSources {
    const lumivex::config::DataFileStore* data = nullptr;  // null: nothing is known
    std::string unknown;                                   // the UI text of "unknown"

    // The data files' store and the UI text, as the program has them.
    static CellSources fromProgram();

    // The location of an address, or the unknown text.
    std::string locationOr(std::uint32_t address) const;
    // The description of a port (table 0 TCP, 1 UDP), empty when none.
    std::string portDescription(int table, std::uint16_t port) const;
};

// The texts of the cells of one traffic list (kind 0 TCP, 1 UDP, 2 chat).
class TrafficCellText {
public:
    TrafficCellText(int kind, const TrafficModel& model, CellSources sources);

    int columns() const;
    std::string text(int column, const XTrafficRow& row) const;
    int kind() const { return m_kind; }

private:
    int m_kind;
    const TrafficModel& m_model;
    CellSources m_sources;
};

} // namespace orvane
