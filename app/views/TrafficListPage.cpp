#include "views/TrafficListPage.h"

namespace orvane {

TrafficListPage::TrafficListPage(int kind, TrafficModel& model, QWidget* parent)
    : PlaceholderPane(QColor(24, 33, 30), parent), m_kind(kind), m_model(model)
{
}

ListShape TrafficListPage::shape() const
{
    return {m_itemCount, height() / kRowHeight, true};
}

void TrafficListPage::setItemCount(int count)
{
    m_itemCount = count;
    update();
}

void TrafficListPage::repaintRows()
{
    update();
}

void TrafficListPage::setAutoRefresh(bool on)
{
    m_autoRefresh = on;
    update();
}

} // namespace orvane
