#include "monitor/processes/ProcessMonitorList.h"

#include "capengine/XEngine.h"
#include "views/Skin.h"
#include "views/lists/ListColours.h"
#include "views/lists/ListRoles.h"
#include "views/lists/SkinHeaderCtrl.h"

#include <QMouseEvent>

namespace orvane {

namespace {

constexpr ListColumn kColumns[ProcessMonitor::kColumns] = {
    {"pmon_processname", 120, CellAlign::Left}, {"pmon_down_speed", 80, CellAlign::Right},
    {"pmon_up_speed", 80, CellAlign::Right},    {"pmon_down_total", 80, CellAlign::Right},
    {"pmon_up_total", 80, CellAlign::Right},    {"pmon_disk_rs", 80, CellAlign::Right},
    {"pmon_disk_ws", 80, CellAlign::Right},     {"pmon_rw_toal", 110, CellAlign::Centre},
    {"pmon_processpath", 400, CellAlign::Left},
};

double valueOf(const ProgramRecord& r, int column)
{
    switch (column) {
    case 1: return r.shownDown;
    case 2: return r.shownUp;
    case 3: return double(r.downTotal);
    case 4: return double(r.upTotal);
    case 5: return r.shownRead;
    case 6: return r.shownWrite;
    case 7: return double(r.readTotal + r.writeTotal);
    default: return 0;
    }
}

} // namespace

ProcessMonitorModel::ProcessMonitorModel(QObject* parent) : SkinTableModel(parent) {}

int ProcessMonitorModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ProcessMonitor::kColumns;
}

QVariant ProcessMonitorModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row& row = m_rows[std::size_t(index.row())];
    const int column = index.column();
    const std::string& text = row.texts[std::size_t(column)];
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(text);
    case Qt::TextAlignmentRole: return int(toQtAlignment(kColumns[column].align));
    case Qt::ForegroundRole:
        return toQColor(column >= 1 && column <= 7 ? listcolour::byUnitLetter(text) : listcolour::text);
    case RawValueRole: return column >= 1 && column <= 7 ? QVariant(row.values[std::size_t(column)]) : QVariant(QString::fromStdString(text));
    default: return {};
    }
}

QVariant ProcessMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ProcessMonitor::kColumns || role != Qt::DisplayRole)
        return {};
    return skin::text(kColumns[section].key);
}

void ProcessMonitorModel::rebuild(const ProcessMonitor& monitor)
{
    const auto records = monitor.sortedRows();
    m_rows.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ProgramRecord& r = *records[i];
        Row& row = m_rows[i];
        row.key = r.name;
        for (int c = 0; c < ProcessMonitor::kColumns; ++c) {
            row.texts[std::size_t(c)] = ProcessMonitor::cellText(r, c);
            row.values[std::size_t(c)] = valueOf(r, c);
        }
    }
    showRows(int(m_rows.size()));
}

std::string ProcessMonitorModel::keyAt(int row) const
{
    return row >= 0 && std::size_t(row) < m_rows.size() ? m_rows[std::size_t(row)].key : std::string();
}

int ProcessMonitorModel::rowOf(const std::string& key) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].key == key)
            return int(i);
    return -1;
}

ProcessMonitorList::ProcessMonitorList(XEngine& engine, QWidget* parent)
    : SkinTableView(parent), m_engine(engine), m_model(new ProcessMonitorModel(this))
{
    setModel(m_model);
    setColumnWidths(kColumns);
    setTextInset(4);
    setTextlessWidth(44);
    horizontalHeader()->setMinimumSectionSize(kMinColumnWidth);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        m_monitor.clickColumn(column);
        rebuildRows();
    });
}

void ProcessMonitorList::refresh(bool onShow)
{
    m_monitor.update(m_engine.processTotals());
    if (onShow)
        rebuildRows();
}

void ProcessMonitorList::rebuildRows()
{
    m_model->rebuild(m_monitor);
}

int ProcessMonitorList::selectedRow() const
{
    return m_selectedKey ? m_model->rowOf(*m_selectedKey) : -1;
}

void ProcessMonitorList::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int row = rowAt(event->position().toPoint().y());
    if (row < 0)
        return;
    m_selectedKey = m_model->keyAt(row);
    setFocus(Qt::MouseFocusReason);
    viewport()->update();
}

} // namespace orvane
