#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "TrafficTables.h"
#include "capengine/XEngineRows.h"
#include "capengine/XEngineStats.h"

class XEngine;

// The lasting-history recorder as a report shows it (historyStatus()).
struct HistoryStatus {
    struct Counter {
        std::string name;
        uint64_t value = 0;
        bool drop = false;  // history lost
        std::string meaning;
    };
    std::string role;  // what the recorder is to its database; empty: not recording
    std::string path;
    std::string lastError;
    std::vector<Counter> counters;
};

// Everything the console front end prints at one moment: the one source of its tables, its
// JSON document and its metrics.
struct Report {
    std::string version;      // the program's
    double elapsedSeconds = 0;
    bool privileged = false;
    std::string eventSource;  // the kernel event source in use, and why not another
    std::vector<TrafficTable> tables;
    std::vector<XProcessRow> processes;
    XEngineStats engine;
    HistoryStatus history;
    int rowsPerTable = 0;  // text only; 0 prints every row
    // Text only: the live view's screen. Columns > 0 fits every line to that width (the
    // location and then the DNS name column give way first); lines > 0 cuts the lists so
    // that the whole report fits that many lines; compact shows only the counters that are
    // not zero, after the sum of every drop.
    int columns = 0;
    int lines = 0;
    bool compact = false;
};

// Reads everything a report shows from the engine.
Report readReport(XEngine& engine, double elapsedSeconds, bool privileged, const LocationLookup& location);

void printReportText(std::FILE* out, const Report& report);
void printReportJson(std::FILE* out, const Report& report);
// The traffic tables as one CSV document (a "table" column first), cells escaped as the
// history's CSV is.
void printReportCsv(std::FILE* out, const Report& report);

// What a byte of the report is with the given event source ("ebpf", "pcap: ...", "etw");
// empty for a source that counts nothing.
std::string bytesCountedBy(const std::string& eventSource);

// The sentence the console prints without capture privileges: what to run to get them for
// the program at executable.
std::string privilegeAdvice(const std::string& executable);

// JSON string literal of text (quotes included); bytes that are not valid UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);
// "1.5 KB", "20.0 MB": binary units, one decimal.
std::string humanBytes(double bytes);
