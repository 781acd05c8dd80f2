#include "core/history/HistorySettings.h"

#include "config/ConfigStore.h"
#include "history/HistoryPath.h"

#include <charconv>
#include <cstring>

namespace orvane {

namespace {

// The entry of key, empty when absent (an absent entry reads back as its own key).
std::string entry(const lumivex::config::ConfigStore& store, const char* key)
{
    const char* value = store.getUserValue(key);
    return value && std::strcmp(value, key) != 0 ? value : "";
}

} // namespace

HistorySettings HistorySettings::read(const lumivex::config::ConfigStore& store)
{
    HistorySettings s;
    s.file = entry(store, kFileKey);
    s.off = store.getUserFlag(kOffKey);
    const std::string keep = entry(store, kKeepKey);
    std::string why;
    if (!keep.empty() && !history::parseRetention(keep, s.retention, &why))
        s.problems += std::string(kKeepKey) + ": " + why + "; ";
    const std::string hosts = entry(store, kHostsKey);
    if (!hosts.empty()) {
        int n = 0;
        const auto [end, ec] = std::from_chars(hosts.data(), hosts.data() + hosts.size(), n);
        if (ec != std::errc() || end != hosts.data() + hosts.size() || n < 1 || n > kMostHosts)
            s.problems += std::string(kHostsKey) + ": not a whole number from 1 to " + std::to_string(kMostHosts) + "; ";
        else
            s.hostsPerProgram = n;
    }
    return s;
}

std::string HistorySettings::databasePath() const
{
    return history::historyPath(file);
}

} // namespace orvane
