#pragma once

#include "core/ValueFormat.h"
#include "core/processes/ProgramRecord.h"

#include <string>
#include <vector>

namespace orvane {

// The columns of the process monitor list, left to right.
enum class ProgramColumn {
    Name, DownSpeed, UpSpeed, DownTotal, UpTotal, ReadSpeed, WriteSpeed, DiskTotal, Path,
};
inline constexpr int kProgramColumns = 9;

// The cell of a column: the name ("PID:<pid>" without one) and the path as they are, the
// speeds and totals as ProgramValue texts in their unit colours.
ColoredText programCell(const ProgramRecord& record, ProgramColumn column);
// The number a value column sorts by (0 for the text columns).
double programValue(const ProgramRecord& record, ProgramColumn column);

// The process monitor's row order: by one column, descending or ascending. A click on the
// sort column reverses the order; on another column makes it the sort column in the same
// direction.
class ProgramOrder {
public:
    static constexpr ProgramColumn kInitialColumn = ProgramColumn::DownTotal;

    void clickColumn(ProgramColumn column);
    ProgramColumn column() const { return m_column; }
    bool descending() const { return m_descending; }
    // The records in this order (equal ones keep their order).
    std::vector<const ProgramRecord*> sorted(const std::vector<ProgramRecord>& records) const;

private:
    ProgramColumn m_column = kInitialColumn;
    bool m_descending = true;
};

} // namespace orvane
