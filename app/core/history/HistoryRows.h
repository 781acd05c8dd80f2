#pragma once

#include "core/ValueFormat.h"
#include "core/lists/ListColumn.h"
#include "history/HistoryReader.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace orvane {

// The history page's tables: programs (name, received, sent, total, share) and hosts
// (address, DNS name, location, received, sent, total), in the reader's order (largest
// total first).
enum class HistoryTable { Programs, Hosts };

struct HistoryCell {
    std::string text;
    Rgb colour;
    double raw = 0;  // the number the cell shows (0 for texts)
};

// One row: its cells and what it stands for.
struct HistoryRow {
    std::vector<HistoryCell> cells;
    int64_t programId = 0;
    std::string programName, programPath;
    uint32_t address = 0;
    bool named = true;  // a real program or host (not "other programs", "other hosts", "no program")
};

std::span<const ListColumn> historyColumns(HistoryTable table);

// A UI text by key: the rows without a name of their own are labelled with these.
using HistoryTextSource = std::function<std::string(const char* key)>;

std::vector<HistoryRow> programRows(const std::vector<history::ProgramUsage>& programs, const HistoryTextSource& texts);
std::vector<HistoryRow> hostRows(const std::vector<history::HostUsage>& hosts, const HistoryTextSource& texts);

// A byte count as the tables show it ("1.23 M"), and a share ("12.5%").
ColoredText historyBytes(uint64_t bytes);
std::string shareText(double share);

} // namespace orvane
