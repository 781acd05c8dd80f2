#include "monitor/connections/ConnectionsPage.h"

#include "core/lists/ListColours.h"
#include "views/Skin.h"
#include "views/lists/ListRoles.h"
#include "views/lists/SkinHeaderView.h"

#include "capengine/XEngine.h"

#include <QMouseEvent>
#include <QEvent>

namespace orvane {

namespace {

constexpr ListColumn kColumns[ConnectionTable::kColumns] = {
    {"netconn_tcpudp", 60, CellAlign::Centre},    {"netconn_program", 100, CellAlign::Left},
    {"netconn_lip_port", 150, CellAlign::Left},   {"netconn_rip_port", 150, CellAlign::Left},
    {"netconn_status", 90, CellAlign::Centre},    {"netconn_time", 90, CellAlign::Centre},
    {"netconn_timelen", 90, CellAlign::Centre},   {"netconn_pid", 80, CellAlign::Centre},
    {"netconn_dnsname", 150, CellAlign::Centre},  {"netconn_location", 150, CellAlign::Centre},
};

} // namespace

ConnectionsModel::ConnectionsModel(ConnectionTable& table, QObject* parent) : SkinTableModel(parent), m_table(table) {}

int ConnectionsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ConnectionTable::kColumns;
}

QVariant ConnectionsModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto& entries = m_table.entries();
    if (std::size_t(index.row()) >= entries.size())
        return {};
    const ConnectionTable::Entry& e = entries[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(e.texts[std::size_t(index.column())]);
    case Qt::TextAlignmentRole: return int(toQtAlignment(kColumns[index.column()].align));
    case Qt::ForegroundRole: return toQColor(listcolour::text);
    case RawValueRole: return QString::fromStdString(e.texts[std::size_t(index.column())]);
    default: return {};
    }
}

QVariant ConnectionsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ConnectionTable::kColumns || role != Qt::DisplayRole)
        return {};
    return skin::text(kColumns[section].key);
}

void ConnectionsModel::tableChanged()
{
    showRows(int(m_table.entries().size()));
}

ConnectionsPage::ConnectionsPage(XEngine& engine, CellSources sources, QWidget* parent)
    : SkinTableView(parent), m_engine(engine),
      m_table(std::move(sources), [](const char* key) { return skin::text(key).toStdString(); }),
      m_model(new ConnectionsModel(m_table, this))
{
    setModel(m_model);
    horizontalHeader()->setMinimumSectionSize(kMinColumnWidth);
    setColumnWidths(kColumns, "columns_connections");
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        m_table.clickColumn(ConnectionTable::Column(section));
        m_selectedRow = -1;
        m_model->tableChanged();
    });
}

void ConnectionsPage::refresh()
{
    m_selectedRow = -1;
    m_table.rebuild(m_engine);
    m_model->tableChanged();
}

void ConnectionsPage::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int row = rowAt(event->position().toPoint().y());
    if (row < 0)
        return;
    m_selectedRow = row;
    setFocus(Qt::MouseFocusReason);
    viewport()->update();
}

void ConnectionsPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        // The rows hold texts (locations, durations) in the language they were made in.
        refresh();
    }
    SkinTableView::changeEvent(event);
}

} // namespace orvane
