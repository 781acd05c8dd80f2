#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ProcessTotals.h"
#include "hostinfo/XKernelIoTrace.h"

// Everything the console front end prints at one moment.
struct Report {
    double elapsedSeconds = 0;
    bool privileged = false;
    std::vector<ProcessTotals::Row> processes;
    KernelIoStats io;
    uint64_t processTotalsDropped = 0;  // network events of a 51st process in one interval
};

void printReportText(std::FILE* out, const Report& report);
void printReportJson(std::FILE* out, const Report& report);

// JSON string literal of text (quotes included); bytes that are not valid UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);
