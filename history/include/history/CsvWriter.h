#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace history {

// Builds CSV as spreadsheets and scripts read it (RFC 4180): cells separated by commas,
// lines ended by CR LF, a cell quoted when it holds a comma, a quote, CR or LF, with its
// quotes doubled. Text cells come from other programs and from the network, so:
//  - bytes that are not UTF-8, and control characters other than TAB, CR and LF, become
//    U+FFFD;
//  - invisible format characters (bidirectional controls such as U+202E, zero-width
//    characters) are written as \u202e (\U000e0001 above U+FFFF), as the console shows them;
//  - a text that starts with = + - @ TAB or CR gets a leading ' so that a spreadsheet
//    shows it rather than evaluating it as a formula.
// Numbers are written as they are.
class CsvWriter {
public:
    explicit CsvWriter(std::string& out) : m_out(out) {}
    CsvWriter& text(std::string_view cell);
    CsvWriter& number(uint64_t value);
    CsvWriter& number(double value, int decimals);
    void endRow();

private:
    void separate();
    std::string& m_out;
    bool m_rowStarted = false;
};

} // namespace history
