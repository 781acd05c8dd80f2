#include "config/DataDirectory.h"

#include <filesystem>

#include "platform/ExecutablePath.h"
#include "platform/UserFolders.h"

namespace lumivex::config {

std::string defaultDataDirectory()
{
    const std::filesystem::path executable = platform::executablePath();
    if (executable.empty() || !executable.has_parent_path())
        return "dat/";
    return (executable.parent_path() / "dat").string() + "/";
}

std::string userConfigDirectory()
{
    return platform::userSettingsFolder("lumivex");
}

} // namespace lumivex::config
