#pragma once

#include <string>

class QAbstractItemModel;

namespace orvane {

// A skinned list's rows as CSV (history::CsvWriter: quoted where needed, formula cells
// defused): the header captions, then each row's cells. A cell whose RawValueRole is a
// floating-point or 64-bit number (the byte counts) is written as that number (whole, not
// "1.23 M"); any other as its text, trimmed (the lists indent some cells by a blank): a
// 32-bit one is a tick stamp the text shows as a time.
std::string listCsv(const QAbstractItemModel& model);

} // namespace orvane
