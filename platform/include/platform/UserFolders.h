#pragma once

#include <string>
#include <string_view>

namespace platform {

// The folder for an application's settings of the user running it, as UTF-8:
// $XDG_CONFIG_HOME/<application> (an absolute XDG_CONFIG_HOME only), else
// $HOME/.config/<application>; on Windows %APPDATA%\<application>. Empty when the environment
// names no such place. The folder is not created.
std::string userSettingsFolder(std::string_view application);

} // namespace platform
