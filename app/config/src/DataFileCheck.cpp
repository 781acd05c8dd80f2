#include "config/DataFileCheck.h"

#include "config/ConfigStore.h"
#include "config/DataFileStore.h"

#include <algorithm>

namespace lumivex::config {

std::vector<std::string> unusableDataFiles(const ConfigStore& config, const DataFileStore& data)
{
    std::vector<std::string> out;
    const auto named = [&out](const std::string& path) {
        return std::ranges::any_of(out, [&path](const std::string& s) { return s.rfind(path, 0) == 0; });
    };
    const auto add = [&](const std::vector<std::string>& sentences) {
        for (const std::string& s : sentences)
            if (std::ranges::find(out, s) == out.end())
                out.push_back(s);
    };
    add(config.skippedFiles());
    add(data.report().skipped);
    // A file read whole but holding nothing the program can use, or not there at all.
    const auto check = [&](const std::string& path, bool found, bool empty) {
        if (named(path))
            return;
        if (!found)
            out.push_back(path + " is missing");
        else if (empty)
            out.push_back(path + " holds nothing usable");
    };
    const DataLoadReport& report = data.report();
    check(config.dataDir() + "config.dat", config.skinFileFound(), config.skinTable().empty());
    check(data.dataDir() + "ication.dat", report.databaseFound, report.database.records == 0);
    check(data.dataDir() + "ipanother.txt", report.supplementaryFound, report.supplementary.records == 0);
    check(data.dataDir() + "location_en.txt", report.namesFound, report.names == 0);
    check(data.dataDir() + "ptdescr.dat", report.descriptionsFound, report.descriptions.entries == 0);
    return out;
}

} // namespace lumivex::config
