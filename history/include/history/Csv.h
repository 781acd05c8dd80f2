#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/CsvWriter.h"
#include "history/HistoryReader.h"

namespace history {

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
