#pragma once

#include <string>

namespace history {

// Where the history database lives, first match wins:
//   explicitPath when not empty (--history FILE, a setting);
//   $STATE_DIRECTORY/history.sqlite when set (a systemd service; the first of several folders);
//   $XDG_DATA_HOME/lumivex/history.sqlite when set to an absolute folder;
//   $HOME/.local/share/lumivex/history.sqlite.
// Empty when none applies (no HOME either).
std::string historyPath(const std::string& explicitPath = {});

// The lock beside the database that makes one process its writer.
std::string lockPathFor(const std::string& databasePath);

// Creates the database's folder (and its parents) when missing, private to the user.
bool makeParentFolder(const std::string& databasePath, std::string* error = nullptr);

} // namespace history
