#include "views/lists/SkinTableModel.h"

#include <algorithm>

namespace orvane {

int SkinTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

void SkinTableModel::showRows(int count)
{
    count = std::max(count, 0);
    if (count > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, count - 1);
        m_rows = count;
        endInsertRows();
    } else if (count < m_rows) {
        beginRemoveRows(QModelIndex(), count, m_rows - 1);
        m_rows = count;
        endRemoveRows();
    }
    const int columns = columnCount();
    if (m_rows > 0 && columns > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, columns - 1));
}

} // namespace orvane
