#pragma once

#include "config/DescriptionTable.h"
#include "config/LocationParsers.h"
#include "config/LocationTable.h"
#include "config/SettingLine.h"
#include "config/UiLanguage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumivex::config {

// What loading the three data files found; a missing or broken file only shows up here.
struct DataLoadReport {
    bool databaseFound = false;
    bool supplementaryFound = false;
    bool descriptionsFound = false;
    bool namesFound = false;          // location_en.txt, the English location names
    std::size_t names = 0;
    LocationLoad database;
    LocationLoad supplementary;
    DescriptionTable::Load descriptions;
    std::size_t overlapsDropped = 0;  // ranges dropped because they overlapped an earlier one
    std::vector<std::string> skipped; // files present but not read, one sentence each
};

// Location texts for remote addresses (ipanother.txt, then ication.dat) with their English
// names (location_en.txt) and descriptions of ports and protocols (ptdescr.dat). Loaded once,
// then read-only: lookups may run on any thread once load() has returned.
class DataFileStore {
public:
    // The process-wide store, created and loaded on first use from the configuration store's
    // data folder, or from defaultDataDirectory() when there is no configuration store.
    static DataFileStore& instance();
    static DataFileStore* existingInstance();
    static void release();

    // dataDir ends with '/'. Nothing is read before load().
    explicit DataFileStore(std::string dataDir);

    // Reads ication.dat, ipanother.txt, location_en.txt and ptdescr.dat. Only the first call
    // loads anything.
    // Missing or broken files leave their part empty.
    void load();

    const std::string& dataDir() const { return m_dataDir; }
    const DataLoadReport& report() const { return m_report; }

    // Location text of a host-order address: the supplementary list first, then database
    // levels 3 down to 0. Null when no range holds the address. In English, the text's
    // English name; the text as the location files hold it when there is none.
    const char* findLocation(std::uint32_t address, Language language = Language::Chinese) const;
    bool lookupLocation(std::uint32_t address, std::string& text, Language language = Language::Chinese) const;
    // The English name of a location text, null when there is none.
    const char* englishName(std::string_view text) const;

    // Description of a port (table 0 TCP, 1 UDP) or IP protocol number (table 2).
    bool lookupDescription(int table, std::uint16_t number, std::string& text) const;

    const LocationTable& level(int index) const { return m_levels[static_cast<std::size_t>(index)]; }
    const LocationTable& supplementary() const { return m_supplementary; }
    const DescriptionTable& descriptions() const { return m_descriptions; }

private:
    // One data file, a problem with it noted in the report.
    std::optional<std::string> read(const char* name, std::size_t limit);

    std::string m_dataDir;
    bool m_loaded = false;
    std::array<LocationTable, 4> m_levels;
    LocationTable m_supplementary;
    DescriptionTable m_descriptions;
    SettingMap m_englishNames;
    DataLoadReport m_report;
};

} // namespace lumivex::config
