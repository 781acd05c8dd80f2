#include "views/lists/ListCsv.h"

#include "views/lists/ListRoles.h"

#include "history/CsvWriter.h"

#include <QAbstractItemModel>

#include <algorithm>
#include <cmath>

namespace orvane {

std::string listCsv(const QAbstractItemModel& model)
{
    std::string out;
    history::CsvWriter csv(out);
    const int columns = model.columnCount();
    for (int c = 0; c < columns; ++c)
        csv.text(model.headerData(c, Qt::Horizontal).toString().trimmed().toStdString());
    csv.endRow();
    for (int r = 0; r < model.rowCount(); ++r) {
        for (int c = 0; c < columns; ++c) {
            const QModelIndex index = model.index(r, c);
            const QVariant raw = model.data(index, RawValueRole);
            const QMetaType::Type type = QMetaType::Type(raw.typeId());
            if (type == QMetaType::Double || type == QMetaType::Float) {
                const double value = raw.toDouble();
                if (value == std::floor(value) && std::fabs(value) < 9e15)
                    csv.number(uint64_t(std::max(value, 0.0)));
                else
                    csv.number(value, 4);
            } else if (type == QMetaType::LongLong || type == QMetaType::ULongLong) {
                csv.number(raw.toULongLong());
            } else {
                csv.text(model.data(index, Qt::DisplayRole).toString().trimmed().toStdString());
            }
        }
        csv.endRow();
    }
    return out;
}

} // namespace orvane
