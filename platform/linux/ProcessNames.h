#pragma once

#include <string>
#include <string_view>

// Process names from what /proc shows of a process, apart from reading it.
namespace platform {

// The image path a /proc/pid/exe link names, without the " (deleted)" that marks a replaced
// or removed image.
std::string imagePathOfExeLink(std::string_view link);

// The last component of a path ("" for a path ending in '/').
std::string_view baseNameOf(std::string_view path);

// A process's name from the texts of /proc/pid/comm and /proc/pid/cmdline: comm without its
// line end; the kernel cuts comm to 15 characters, so a comm of exactly 15 is completed from
// the base name of the first command-line word when that word starts with it.
std::string nameFromCommAndCmdline(std::string_view comm, std::string_view cmdline);

} // namespace platform
