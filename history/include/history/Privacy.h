#pragma once

#include <cstdint>
#include <string>

namespace history {

class Database;

// Removing history on the user's word. Each runs in one transaction on an open, current
// database (another process may be recording into it: SQLite's own locking orders the two),
// overwrites the freed pages and empties the write-ahead log, so that what was removed is
// not left readable in the file. message says what was done, or why not. Any thread that
// owns db.
bool forgetProgram(Database& db, const std::string& name, const std::string& path, std::string* message);  // empty path: every path
bool forgetHost(Database& db, uint32_t address, std::string* message);
bool clearHistory(Database& db, std::string* message);

// Opens an existing database at path for those calls (brought to the current layout when
// older); false with the reason when it does not exist or cannot be.
bool openForChanges(Database& db, const std::string& path, std::string* error, const char* vfs = nullptr);

} // namespace history
