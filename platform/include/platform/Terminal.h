#pragma once

namespace platform {

// The size of the terminal standard output shows on; false (sizes untouched) when standard
// output is not a terminal.
bool outputTerminalSize(int& columns, int& lines);

// Readies standard output for the program's UTF-8 text and its control sequences (cursor
// home, clear screen): on Windows the console's code page and its terminal mode. False when
// the terminal shows control sequences as text; call it once, before printing.
bool prepareTerminalOutput();

} // namespace platform
