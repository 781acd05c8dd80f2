#include "core/history/HistoryRows.h"

#include "config/TextUtil.h"
#include "history/Csv.h"

#include <cstdio>

namespace orvane {

namespace {

constexpr ListColumn kProgramColumns[] = {
    {"history_col_program", 150, CellAlign::Left, true}, {"history_col_received", 80, CellAlign::Right},
    {"history_col_sent", 80, CellAlign::Right},           {"history_col_total", 80, CellAlign::Right},
    {"history_col_share", 60, CellAlign::Right},
};
constexpr ListColumn kHostColumns[] = {
    {"history_col_address", 105, CellAlign::Left},        {"history_col_dnsname", 140, CellAlign::Left, true},
    {"history_col_location", 110, CellAlign::Left, true}, {"history_col_received", 75, CellAlign::Right},
    {"history_col_sent", 75, CellAlign::Right},           {"history_col_total", 75, CellAlign::Right},
};

HistoryCell textCell(std::string text)
{
    return {std::move(text), valuecolor::listText, 0};
}

HistoryCell bytesCell(uint64_t bytes)
{
    ColoredText shown = historyBytes(bytes);
    return {std::move(shown.text), shown.colour, double(bytes)};
}

} // namespace

std::span<const ListColumn> historyColumns(HistoryTable table)
{
    if (table == HistoryTable::Programs)
        return kProgramColumns;
    return kHostColumns;
}

ColoredText historyBytes(uint64_t bytes)
{
    return formatValue(double(bytes), ValueUse::ProgramValue);
}

std::string shareText(double share)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", share * 100.0);
    return text;
}

std::vector<HistoryRow> programRows(const std::vector<history::ProgramUsage>& programs, const HistoryTextSource& texts)
{
    std::vector<HistoryRow> rows;
    rows.reserve(programs.size());
    for (const history::ProgramUsage& p : programs) {
        HistoryRow row;
        row.programId = p.id;
        row.programName = p.name;
        row.programPath = p.path;
        row.named = p.id != 0 && !p.name.empty();
        const std::string label = p.id == 0 ? texts("history_other_programs")
                                  : p.name.empty() ? texts("history_no_program")
                                                   : lumivex::config::visibleText(p.name);
        HistoryCell share = textCell(shareText(p.share));
        share.raw = p.share;
        row.cells = {textCell(label), bytesCell(p.net.received), bytesCell(p.net.sent), bytesCell(p.net.total()), share};
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<HistoryRow> hostRows(const std::vector<history::HostUsage>& hosts, const HistoryTextSource& texts)
{
    std::vector<HistoryRow> rows;
    rows.reserve(hosts.size());
    for (const history::HostUsage& h : hosts) {
        HistoryRow row;
        row.address = h.address;
        row.named = !h.otherHosts;
        HistoryCell address = textCell(h.otherHosts ? texts("history_other_hosts") : history::dottedAddress(h.address));
        address.raw = double(h.address);
        row.cells = {address, textCell(lumivex::config::visibleText(h.dnsName)),
                     textCell(lumivex::config::visibleText(h.location)), bytesCell(h.net.received), bytesCell(h.net.sent),
                     bytesCell(h.net.total())};
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace orvane
