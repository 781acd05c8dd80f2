#include "platform/UserFolders.h"

#include <cstdlib>

namespace platform {

std::string userSettingsFolder(std::string_view application)
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return std::string(xdg) + "/" + std::string(application);
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return std::string(home) + "/.config/" + std::string(application);
    return {};
}

} // namespace platform
