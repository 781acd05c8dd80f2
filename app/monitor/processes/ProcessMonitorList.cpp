#include "monitor/processes/ProcessMonitorList.h"

#include "core/tick/TickSnapshot.h"
#include "core/lists/ListColours.h"
#include "views/Skin.h"
#include "views/TickFeed.h"
#include "views/lists/ListRoles.h"
#include "views/lists/SkinHeaderView.h"

#include <QMouseEvent>

namespace orvane {

namespace {

constexpr ListColumn kColumns[kProgramColumns] = {
    {"pmon_processname", 150, CellAlign::Left, true}, {"pmon_down_speed", 80, CellAlign::Right},
    {"pmon_up_speed", 80, CellAlign::Right},    {"pmon_down_total", 80, CellAlign::Right},
    {"pmon_up_total", 80, CellAlign::Right},    {"pmon_disk_rs", 80, CellAlign::Right},
    {"pmon_disk_ws", 80, CellAlign::Right},     {"pmon_rw_toal", 110, CellAlign::Centre},
    {"pmon_processpath", 200, CellAlign::Left, true},
};

bool isValueColumn(ProgramColumn column)
{
    return column != ProgramColumn::Name && column != ProgramColumn::Path;
}

} // namespace

ProcessMonitorModel::ProcessMonitorModel(QObject* parent) : SkinTableModel(parent) {}

int ProcessMonitorModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kProgramColumns;
}

QVariant ProcessMonitorModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row& row = m_rows[std::size_t(index.row())];
    const std::size_t c = std::size_t(index.column());
    const ColoredText& cell = row.cells[c];
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(cell.text);
    case Qt::TextAlignmentRole: return int(toQtAlignment(kColumns[c].align));
    case Qt::ForegroundRole: return toQColor(cell.colour);
    case RawValueRole:
        return isValueColumn(ProgramColumn(c)) ? QVariant(row.values[c]) : QVariant(QString::fromStdString(cell.text));
    default: return {};
    }
}

QVariant ProcessMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kProgramColumns || role != Qt::DisplayRole)
        return {};
    return skin::text(kColumns[section].key);
}

void ProcessMonitorModel::rebuild(const std::vector<const ProgramRecord*>& records)
{
    m_rows.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ProgramRecord& r = *records[i];
        Row& row = m_rows[i];
        row.key = r.name;
        for (int c = 0; c < kProgramColumns; ++c) {
            row.cells[std::size_t(c)] = programCell(r, ProgramColumn(c));
            row.values[std::size_t(c)] = programValue(r, ProgramColumn(c));
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

ProcessMonitorList::ProcessMonitorList(const TickFeed& ticks, QWidget* parent)
    : SkinTableView(parent), m_model(new ProcessMonitorModel(this))
{
    setModel(m_model);
    horizontalHeader()->setMinimumSectionSize(kMinColumnWidth);
    setColumnWidths(kColumns, "columns_processes");
    setTextInset(4);
    setTextlessWidth(44);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        m_order.clickColumn(ProgramColumn(section));
        rebuildRows();
    });
    connect(&ticks, &TickFeed::published, this, &ProcessMonitorList::showTick);
}

void ProcessMonitorList::showTick(const TickSnapshot& snapshot)
{
    m_programs = snapshot.programs;
    if (snapshot.view.onShow(Page::Ranking))
        rebuildRows();
}

void ProcessMonitorList::rebuildRows()
{
    static const std::vector<ProgramRecord> none;
    m_model->rebuild(m_order.sorted(m_programs ? *m_programs : none));
}

void ProcessMonitorList::showEvent(QShowEvent* event)
{
    SkinTableView::showEvent(event);
    rebuildRows();
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
