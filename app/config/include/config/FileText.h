#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace lumivex::config {

// Reads at most maxBytes from the start of a regular file (a longer file is cut there, so a
// hostile file cannot exhaust memory; longer, when given, tells whether it was). Nothing when
// the file is missing or cannot be read, and nothing for anything but a regular file, which
// is refused without waiting on it (a FIFO would block the reader for good, a device may
// never end): then, when problem is given, it is set to a sentence naming the path and what
// is wrong with it (a missing file leaves it empty).
std::optional<std::string> readFilePrefix(const std::string& path, std::size_t maxBytes,
                                          std::string* problem = nullptr, bool* longer = nullptr);

// Replaces path with contents through a temporary file in the same folder, flushed to the
// disk, and a rename, so a reader sees either the old or the new file, never a partial one,
// whenever the program or the machine stops. False on any failure; the old file is then
// untouched.
bool writeFileAtomically(const std::string& path, const std::string& contents);

} // namespace lumivex::config
