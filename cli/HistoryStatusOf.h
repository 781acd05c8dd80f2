#pragma once

#include "Report.h"

class HistoryRecording;

// The recorder's state and counters as the report and the metrics print them; empty when
// nothing records.
HistoryStatus historyStatusOf(const HistoryRecording& recording);
