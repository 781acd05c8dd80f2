#pragma once

namespace platform {

// The size of the terminal standard output shows on; false (sizes untouched) when standard
// output is not a terminal.
bool outputTerminalSize(int& columns, int& lines);

} // namespace platform
