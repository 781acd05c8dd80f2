#include "monitor/history/HistoryTable.h"

#include "views/Skin.h"
#include "views/lists/ListRoles.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace orvane {

HistoryTableModel::HistoryTableModel(HistoryTable table, QObject* parent) : SkinTableModel(parent), m_table(table) {}

int HistoryTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(historyColumns(m_table).size());
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        std::size_t(index.row()) >= m_rows.size())
        return {};
    const std::vector<HistoryCell>& cells = m_rows[std::size_t(index.row())].cells;
    if (std::size_t(index.column()) >= cells.size())
        return {};
    const HistoryCell& cell = cells[std::size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(cell.text);
    case Qt::TextAlignmentRole: return int(toQtAlignment(historyColumns(m_table)[std::size_t(index.column())].align));
    case Qt::ForegroundRole: return toQColor(cell.colour);
    case RawValueRole:
        // Numbers as numbers (the CSV export writes them whole), texts as they are.
        if (historyColumns(m_table)[std::size_t(index.column())].align == CellAlign::Right)
            return cell.raw;
        return QString::fromStdString(cell.text);
    default: return {};
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const auto columns = historyColumns(m_table);
    if (orientation != Qt::Horizontal || section < 0 || std::size_t(section) >= columns.size() || role != Qt::DisplayRole)
        return {};
    return skin::text(columns[std::size_t(section)].key);
}

void HistoryTableModel::setTable(HistoryTable table)
{
    if (table == m_table)
        return;
    // Empty first, so that the reset for the new columns finds no rows.
    setRows({});
    beginResetModel();
    m_table = table;
    endResetModel();
}

void HistoryTableModel::setRows(std::vector<HistoryRow> rows)
{
    m_rows = std::move(rows);
    showRows(int(m_rows.size()));
}

HistoryTableView::HistoryTableView(HistoryTable table, QWidget* parent)
    : SkinTableView(parent), m_model(new HistoryTableModel(table, this))
{
    setModel(m_model);
    setTextInset(4);
    setColumnWidths(historyColumns(table));
}

void HistoryTableView::showTable(HistoryTable table)
{
    if (table == m_model->table())
        return;
    m_selected = -1;
    m_model->setTable(table);
    setColumnWidths(historyColumns(table));
}

void HistoryTableView::setSelectedRow(int row)
{
    m_selected = row >= 0 && row < m_model->rowCount() ? row : -1;
    viewport()->update();
}

void HistoryTableView::select(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_selected = row;
    scrollTo(m_model->index(row, 0));
    viewport()->update();
    emit rowSelected(row);
}

void HistoryTableView::mousePressEvent(QMouseEvent* event)
{
    const int row = rowAt(event->position().toPoint().y());
    if (row < 0 || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton))
        return;
    setFocus(Qt::MouseFocusReason);
    if (row != m_selected)
        select(row);
}

void HistoryTableView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0 && event->button() == Qt::LeftButton)
        emit rowActivated(row);
}

void HistoryTableView::keyPressEvent(QKeyEvent* event)
{
    const int rows = m_model->rowCount();
    int row = m_selected;
    switch (event->key()) {
    case Qt::Key_Down: row = m_selected < 0 ? 0 : m_selected + 1; break;
    case Qt::Key_Up: row = m_selected < 0 ? 0 : m_selected - 1; break;
    case Qt::Key_PageDown: row = m_selected + std::max(rowsPerPage() - 1, 1); break;
    case Qt::Key_PageUp: row = m_selected - std::max(rowsPerPage() - 1, 1); break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = rows - 1; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_selected >= 0)
            emit rowActivated(m_selected);
        return;
    default: SkinTableView::keyPressEvent(event); return;
    }
    row = std::clamp(row, 0, std::max(rows - 1, 0));
    if (rows > 0 && row != m_selected)
        select(row);
}

void HistoryTableView::contextMenuEvent(QContextMenuEvent* event)
{
    const int row = rowAt(event->pos().y());
    if (row >= 0)
        emit rowMenuRequested(row, event->globalPos());
}

} // namespace orvane
