#pragma once

#include <string>
#include <vector>

namespace platform {

// The program's arguments, the program's own name first, as UTF-8. On Windows they are taken
// from the wide command line: the argv that main() receives there is in the ANSI code page,
// which turns every character it has no place for (a Chinese file name on a Western system)
// into '?'. Elsewhere argv as it is.
std::vector<std::string> commandLineArguments(int argc, char** argv);

} // namespace platform
