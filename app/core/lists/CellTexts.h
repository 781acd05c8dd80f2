#pragma once

#include "core/ValueFormat.h"
#include "core/lists/ListColumn.h"

#include "config/UiLanguage.h"

#include "capengine/XEngineRows.h"

#include <cstdint>
#include <string>

namespace lumivex::config {
class ConfigStore;
class DataFileStore;
}

namespace orvane {

class TrafficModel;

// "a.b.c.d" of a host-order IPv4 address.
std::string dottedAddress(std::uint32_t address);

// What the cells of the lists look up beside the engine: port descriptions and locations
// from the data files, and the UI texts they need, in the language on show.
struct CellSources {
    using Language = lumivex::config::Language;

    const lumivex::config::DataFileStore* data = nullptr;  // null: nothing is known
    std::string unknown;                                   // the text of an unknown location
    // When set, the texts and the language are the store's as they stand at each lookup
    // (so a change of language shows at the next refresh); else unknown and language.
    const lumivex::config::ConfigStore* texts = nullptr;
    Language language = Language::Chinese;

    // The data files' store and the program's texts.
    static CellSources fromProgram();

    Language currentLanguage() const;
    // The location of an address, or the unknown text.
    std::string locationOr(std::uint32_t address) const;
    // The location of an address, empty when unknown.
    std::string location(std::uint32_t address) const;
    // The description of a port in the TCP or the UDP table, empty when none.
    std::string portDescription(XTrafficKind table, std::uint16_t port) const;
    // A chat program's name as the engine gives it, in the language on show.
    std::string chatProgramName(const std::string& name) const;
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
