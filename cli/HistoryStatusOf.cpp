#include "HistoryStatusOf.h"

#include "history/HistoryRecording.h"
#include "history/RecorderStats.h"

HistoryStatus historyStatusOf(const HistoryRecording& recording)
{
    HistoryStatus status;
    history::RecorderStats s;
    if (!recording.stats(s))
        return status;
    status.role = history::roleName(s.role);
    status.path = s.path;
    status.lastError = s.lastError;
#define HISTORY_STATUS_COUNTER(field, name, kind, meaning) \
    status.counters.push_back({name, s.field, history::RecorderStats::kind == history::RecorderStats::kDrop, meaning});
    HISTORY_COUNTERS(HISTORY_STATUS_COUNTER)
#undef HISTORY_STATUS_COUNTER
    return status;
}
