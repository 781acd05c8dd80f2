#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace lumivex::config {

// Reads at most maxBytes from the start of a file (a longer file is cut there, so a hostile
// file cannot exhaust memory). Nothing when the file cannot be opened or read.
std::optional<std::string> readFilePrefix(const std::string& path, std::size_t maxBytes);

// Replaces path with contents through a temporary file in the same folder and a rename, so
// a reader sees either the old or the new file, never a partial one. False on any failure;
// the old file is then untouched.
bool writeFileAtomically(const std::string& path, const std::string& contents);

} // namespace lumivex::config
