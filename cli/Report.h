#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ProcessTotals.h"
#include "TrafficTables.h"
#include "capture/XEngineStats.h"
#include "hostinfo/XKernelIoTrace.h"

// Everything the console front end prints at one moment.
struct Report {
    double elapsedSeconds = 0;
    bool privileged = false;
    std::vector<TrafficTable> tables;
    std::vector<ProcessTotals::Row> processes;
    KernelIoStats io;
    XEngineStats engine;
    size_t dnsNames = 0;
    int rowsPerTable = 0;  // text only; 0 prints every row
};

void printReportText(std::FILE* out, const Report& report);
void printReportJson(std::FILE* out, const Report& report);

// JSON string literal of text (quotes included); bytes that are not valid UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);
// "1.5 KB", "20.0 MB": binary units, one decimal.
std::string humanBytes(double bytes);
