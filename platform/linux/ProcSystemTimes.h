#pragma once

#include <string_view>

#include "platform/SystemTimes.h"

// Parsers of the machine-wide /proc texts behind SystemTimes.h.
namespace platform {

// The aggregate "cpu" line of /proc/stat. Idle is idle + iowait; kernel is system + irq +
// softirq + steal plus the idle time; user is user + nice (guest time is already inside
// user). False when the line is missing or holds fewer than the four classic fields.
bool parseProcStatCpu(std::string_view text, CpuTimes& out);

// Committed_AS and CommitLimit of /proc/meminfo; false when either is missing or bad.
bool parseMeminfoCommit(std::string_view text, CommitCharge& out);

} // namespace platform
