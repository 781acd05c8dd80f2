#pragma once

#include "history/HistoryReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// What the history page's main table lists: the programs of the range, or its hosts.
enum class HistoryListMode { Programs, Hosts };

// The row of the main table the page has selected: a program (by its id in the file, with
// its name and path for the captions and for forgetting it) or a host.
struct HistorySelection {
    std::optional<int64_t> programId;
    std::string programName, programPath;
    std::optional<uint32_t> host;

    bool empty() const { return !programId && !host; }
    friend bool operator==(const HistorySelection&, const HistorySelection&) = default;
};

// One question of the page to the database. parts says which answers it wants: the page
// asks again for what an answer it dropped (a newer question came first) would have brought.
struct HistoryRequest {
    enum Part : unsigned { List = 1, Series = 2, Detail = 4, All = 7 };
    uint64_t serial = 0;
    unsigned parts = All;
    history::TimeRange range;       // the tables'
    history::TimeRange chartRange;  // the chart's (today's whole day)
    history::Step step = history::Step::Hour;
    HistoryListMode mode = HistoryListMode::Programs;
    HistorySelection selection;
};

// The answer, for the parts asked.
struct HistoryResult {
    uint64_t serial = 0;
    unsigned parts = 0;
    bool ok = false;
    bool noHistory = false;  // not ok because nothing was recorded yet (no file, an empty one)
    std::string error;
    history::TimeRange range;
    history::TimeRange covered;       // the span the tables' answer covers (coarser buckets)
    history::TimeRange chartCovered;  // the same for the chart
    history::Step step = history::Step::Hour;
    HistoryListMode mode = HistoryListMode::Programs;
    HistorySelection selection;
    std::vector<history::ProgramUsage> programs;  // List, mode Programs
    std::vector<history::HostUsage> hosts;        // List, mode Hosts
    std::vector<history::SeriesPoint> series;     // Series
    // Detail: the selected program's hosts, or the selected host's programs.
    std::vector<history::HostUsage> detailHosts;
    std::vector<history::ProgramUsage> detailPrograms;
};

// The answer to request before any query ran: what was asked, echoed, and nothing found.
HistoryResult emptyAnswerTo(const HistoryRequest& request);

// Runs request on reader: the page's whole query path (its worker thread calls it). The
// first failing query ends it, with ok false and the error.
HistoryResult runHistoryQuery(history::HistoryReader& reader, const HistoryRequest& request);

} // namespace orvane
