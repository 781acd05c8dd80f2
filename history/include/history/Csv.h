#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/HistoryReader.h"

namespace history {

// Builds CSV as spreadsheets and scripts read it (RFC 4180): cells separated by commas,
// lines ended by CR LF, a cell quoted when it holds a comma, a quote, CR or LF, with its
// quotes doubled. Text cells come from other programs and from the network, so:
//  - bytes that are not UTF-8, and control characters other than TAB, CR and LF, become
//    U+FFFD;
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

// What the history page and `lumivex history --csv` show, one header line first.
std::string programsCsv(const std::vector<ProgramUsage>& rows);
std::string hostsCsv(const std::vector<HostUsage>& rows);
std::string locationsCsv(const std::vector<LocationUsage>& rows);
std::string seriesCsv(const std::vector<SeriesPoint>& points);  // times in local time

// The names the outputs use for rows without one of their own.
std::string programLabel(const ProgramUsage& p);   // "(other programs)", "(no program)" or the name
std::string hostLabel(const HostUsage& h);         // "(other hosts)" or the dotted address
std::string locationLabel(const LocationUsage& l); // "(other hosts)", "(unknown)" or the text
std::string dottedAddress(uint32_t hostOrder);

} // namespace history
