#pragma once

#include <string>
#include <vector>

namespace lumivex::config {

class ConfigStore;
class DataFileStore;

// One sentence for each data file that could not be used: present but not a regular file,
// unreadable or too large (as the stores found while loading), missing, or without a single
// usable entry, and every file a view noted as unusable (ConfigStore::noteUnusableFile, the
// images). Each file is named once, by its path.
std::vector<std::string> unusableDataFiles(const ConfigStore& config, const DataFileStore& data);

} // namespace lumivex::config
