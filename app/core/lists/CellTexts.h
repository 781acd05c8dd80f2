#pragma once

#include "core/ValueFormat.h"
#include "core/lists/ListColumn.h"

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
    // The description of a port in the TCP or the UDP table, empty when none.
    std::string portDescription(XTrafficKind table, std::uint16_t port) const;
};

// The cells of one traffic list: texts, and the byte columns' unit colours.
class TrafficCellText {
public:
    TrafficCellText(XTrafficKind kind, const TrafficModel& model, CellSources sources);

    int columns() const;
    ColoredText cell(TrafficColumn column, const XTrafficRow& row) const;
    std::string text(TrafficColumn column, const XTrafficRow& row) const { return cell(column, row).text; }
    XTrafficKind kind() const { return m_kind; }

private:
    XTrafficKind m_kind;
    const TrafficModel& m_model;
    CellSources m_sources;
};

} // namespace orvane
