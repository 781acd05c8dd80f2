#pragma once

#include <string>

namespace platform {

// Full path of the running program's executable; empty when it cannot be found.
std::string executablePath();

} // namespace platform
