#pragma once

#include "history/Tier.h"

#include <string>

namespace lumivex::config {
class ConfigStore;
}

namespace orvane {

// The window's history settings in user.ini:
//   history_file=FILE         the database (absent or empty: the usual place)
//   history_off=1             record nothing (the menu's switch)
//   history_keep=5min=7d,...  how long each tier is kept (history::parseRetention)
//   history_hosts=N           hosts kept by name per program and bucket (1 to 100000)
// An unreadable retention or host count keeps the default for it, and says why in problems.
struct HistorySettings {
    static constexpr const char* kFileKey = "history_file";
    static constexpr const char* kOffKey = "history_off";
    static constexpr const char* kKeepKey = "history_keep";
    static constexpr const char* kHostsKey = "history_hosts";
    static constexpr int kMostHosts = 100000;

    std::string file;
    bool off = false;
    history::Retention retention;
    int hostsPerProgram = 200;
    std::string problems;

    static HistorySettings read(const lumivex::config::ConfigStore& store);
    // The database the window records into and reads (empty: no place, no HOME).
    std::string databasePath() const;
};

} // namespace orvane
