#include "core/processes/ProgramColumns.h"

#include "core/lists/TextOrder.h"

#include <algorithm>

namespace orvane {

namespace {

template <typename T>
int compareNumbers(T a, T b)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

int compare(const ProgramRecord& a, const ProgramRecord& b, ProgramColumn column)
{
    switch (column) {
    case ProgramColumn::Name: return compareTextNoCase(displayName(a), displayName(b));
    case ProgramColumn::DownSpeed: return compareNumbers(a.shown.down, b.shown.down);
    case ProgramColumn::UpSpeed: return compareNumbers(a.shown.up, b.shown.up);
    case ProgramColumn::DownTotal: return compareNumbers(a.totals.down, b.totals.down);
    case ProgramColumn::UpTotal: return compareNumbers(a.totals.up, b.totals.up);
    case ProgramColumn::ReadSpeed: return compareNumbers(a.shown.read, b.shown.read);
    case ProgramColumn::WriteSpeed: return compareNumbers(a.shown.write, b.shown.write);
    case ProgramColumn::DiskTotal:
        return compareNumbers(a.totals.read + a.totals.write, b.totals.read + b.totals.write);
    case ProgramColumn::Path: return compareTextNoCase(a.path, b.path);
    }
    return 0;
}

} // namespace

double programValue(const ProgramRecord& r, ProgramColumn column)
{
    switch (column) {
    case ProgramColumn::DownSpeed: return r.shown.down;
    case ProgramColumn::UpSpeed: return r.shown.up;
    case ProgramColumn::DownTotal: return double(r.totals.down);
    case ProgramColumn::UpTotal: return double(r.totals.up);
    case ProgramColumn::ReadSpeed: return r.shown.read;
    case ProgramColumn::WriteSpeed: return r.shown.write;
    case ProgramColumn::DiskTotal: return double(r.totals.read + r.totals.write);
    case ProgramColumn::Name:
    case ProgramColumn::Path: break;
    }
    return 0;
}

ColoredText programCell(const ProgramRecord& r, ProgramColumn column)
{
    switch (column) {
    case ProgramColumn::Name: return {displayName(r), valuecolor::listText};
    case ProgramColumn::Path: return {lumivex::config::visibleText(r.path), valuecolor::listText};
    default: return formatValue(programValue(r, column), ValueUse::ProgramValue);
    }
}

void ProgramOrder::clickColumn(ProgramColumn column)
{
    if (int(column) < 0 || int(column) >= kProgramColumns)
        return;
    if (column == m_column)
        m_descending = !m_descending;
    else
        m_column = column;
}

std::vector<const ProgramRecord*> ProgramOrder::sorted(const std::vector<ProgramRecord>& records) const
{
    std::vector<const ProgramRecord*> rows;
    rows.reserve(records.size());
    for (const ProgramRecord& r : records)
        rows.push_back(&r);
    const ProgramColumn column = m_column;
    const bool descending = m_descending;
    std::stable_sort(rows.begin(), rows.end(), [column, descending](const ProgramRecord* a, const ProgramRecord* b) {
        const int c = compare(*a, *b, column);
        return descending ? c > 0 : c < 0;
    });
    return rows;
}

} // namespace orvane
