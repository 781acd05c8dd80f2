#include "views/ranking/RankingList.h"

#include "views/Skin.h"
#include "core/lists/ListColours.h"
#include "views/lists/ListRoles.h"

#include <QMouseEvent>

namespace orvane {

namespace {

constexpr ListColumn kColumns[Ranking::kColumns] = {
    {"remoteip", 118, CellAlign::Left},        {"remoteport", 80, CellAlign::Centre},
    {"dnsname", 150, CellAlign::Right, true},  {"location", 150, CellAlign::Centre, true},
    {"topnvalue", 80, CellAlign::Right},       {"program", 200, CellAlign::Left, true},
};

} // namespace

RankingModel::RankingModel(QObject* parent) : SkinTableModel(parent)
{
    showRows(Ranking::kRows);
}

int RankingModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Ranking::kColumns;
}

QVariant RankingModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(m_rows[std::size_t(index.row())][std::size_t(index.column())]);
    case Qt::TextAlignmentRole: return int(toQtAlignment(kColumns[index.column()].align));
    case Qt::ForegroundRole: return toQColor(listcolour::text);
    default: return {};
    }
}

QVariant RankingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= Ranking::kColumns || role != Qt::DisplayRole)
        return {};
    return skin::text(kColumns[section].key);
}

void RankingModel::setRows(const std::array<Ranking::Row, Ranking::kRows>& rows)
{
    m_rows = rows;
    showRows(Ranking::kRows);
}

RankingList::RankingList(QWidget* parent) : SkinTableView(parent), m_model(new RankingModel(this))
{
    setModel(m_model);
    setColumnWidths(kColumns, "columns_ranking");
    // Ten rows always fit the list's height.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void RankingList::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void RankingList::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

} // namespace orvane
