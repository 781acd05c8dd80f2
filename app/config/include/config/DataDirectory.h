#pragma once

#include <string>

namespace lumivex::config {

// "<folder of the running executable>/dat/", or "dat/" (relative to the current folder) when
// the executable's path cannot be found.
std::string defaultDataDirectory();

// Folder for user settings when the data folder is not writable:
// $XDG_CONFIG_HOME/lumivex, else $HOME/.config/lumivex; on Windows %APPDATA%\lumivex; empty
// when none is set.
std::string userConfigDirectory();

} // namespace lumivex::config
