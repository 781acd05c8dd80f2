#include "config/DataDirectory.h"

#include <cstdlib>
#include <filesystem>

#include "platform/ExecutablePath.h"

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
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return std::string(xdg) + "/lumivex";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return std::string(home) + "/.config/lumivex";
    return {};
}

} // namespace lumivex::config
