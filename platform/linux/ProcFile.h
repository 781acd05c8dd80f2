#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Reads a /proc file whole, or its first limit bytes (give or take one read); false when it
// cannot be opened. /proc files report no size, so they are read until the end.
bool readProcFile(const std::string& path, std::string& text, size_t limit = size_t(-1));

} // namespace platform
