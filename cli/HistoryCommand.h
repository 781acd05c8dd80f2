#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "HistoryOptions.h"
#include "history/HistoryReader.h"

namespace history {
class HistoryReader;
}

// What `lumivex history` prints: the answer to one query of the history database.
struct HistoryReport {
    std::string path;
    HistoryOptions options;
    history::Answer answer;
    std::vector<history::ProgramUsage> programs;
    std::vector<std::vector<history::HostUsage>> hostsOfPrograms;  // JSON by program: each program's hosts
    std::vector<history::HostUsage> hosts;
    std::vector<history::LocationUsage> locations;
    std::vector<history::SeriesPoint> series;
};

// Runs the query options ask for. False with the reason in the answer.
bool readHistoryReport(history::HistoryReader& reader, const HistoryOptions& options, HistoryReport& report);

void printHistoryText(std::FILE* out, const HistoryReport& report);
void printHistoryJson(std::FILE* out, const HistoryReport& report);
void printHistoryCsv(std::FILE* out, const HistoryReport& report);

// `lumivex history ...`: argv[0] is "history". Reads (or, for the forget commands, changes)
// the database and never starts capture. Returns the exit status.
int runHistoryCommand(int argc, char** argv, std::FILE* out, std::FILE* err);
