#include "views/lists/TrafficListCtrl.h"

#include "views/lists/ListColumn.h"
#include "views/lists/SkinHeaderCtrl.h"
#include "views/lists/TrafficListModel.h"

#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace orvane {

TrafficListCtrl::TrafficListCtrl(TrafficListModel* model, QWidget* parent) : SkinTableView(parent), m_model(model)
{
    model->setParent(this);
    setModel(model);
    setColumnWidths(trafficColumns(model->kind()));
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TrafficListCtrl::onHeaderClicked);
    // While the list scrolls, rows come on show without a fetch of the whole page; once it
    // rests, the page is loaded into the cache and repainted.
    m_scrollSettle.setSingleShot(true);
    m_scrollSettle.setInterval(kScrollSettleMs);
    connect(&m_scrollSettle, &QTimer::timeout, this, [this] {
        m_forceRedraw = true;
        loadPage();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TrafficListCtrl::onScrolled);
}

int TrafficListCtrl::protocolIndex() const
{
    return m_model->kind();
}

void TrafficListCtrl::refresh()
{
    setItemCount(m_model->refresh(m_sortKey != 0));
}

void TrafficListCtrl::setItemCount(int count)
{
    m_model->setItemCount(count);
    if (m_selectedRow != -1)
        relocateSelection();
    // The scroll range follows the new row count before the page is read.
    executeDelayedItemsLayout();
    const int top = topRow();
    refreshVisible(top, top + std::min(count, rowsPerPage()) + 1);
}

void TrafficListCtrl::refreshVisible(int first, int last)
{
    m_model->refreshRows(first, last, m_forceRedraw);
    m_forceRedraw = false;
}

void TrafficListCtrl::loadPage()
{
    const int top = topRow();
    refreshVisible(top, top + rowsPerPage() + 1);
}

void TrafficListCtrl::repaintRows()
{
    loadPage();
}

int TrafficListCtrl::itemCount() const
{
    return m_model->rowCount();
}

ListShape TrafficListCtrl::shape() const
{
    return {m_model->rowCount(), rowsPerPage(), m_sortKey != 0};
}

void TrafficListCtrl::relocateSelection()
{
    const int row = m_model->rowOf(m_selectedIp);
    if (row != -1)
        m_selectedRow = row;
}

void TrafficListCtrl::showSelection()
{
    relocateSelection();
    if (m_selectedRow >= 0 && m_selectedRow < m_model->rowCount())
        scrollTo(m_model->index(m_selectedRow, 0));
    viewport()->update();
}

void TrafficListCtrl::clearSelection()
{
    if (m_selectedRow != -1)
        viewport()->update();
    m_selectedRow = -1;
}

void TrafficListCtrl::setMarkActive(bool on)
{
    m_model->setMarkActive(on);
}

void TrafficListCtrl::setAutoRefresh(bool on)
{
    m_autoRefresh = on;
    viewport()->update();
}

void TrafficListCtrl::onHeaderClicked(int column)
{
    m_sortKey = column;
    // The address and time columns re-sort at once; the others (which all mean "most recent
    // first") take effect at the next full refresh.
    if (column == 0 || (column == 6 && protocolIndex() != 2))
        refresh();
}

void TrafficListCtrl::onScrolled()
{
    m_scrollSettle.start();
}

void TrafficListCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        SkinTableView::mousePressEvent(event);
        return;
    }
    const int row = rowAt(event->position().toPoint().y());
    if (row < 0)
        return;
    m_selectedRow = row == m_selectedRow ? -1 : row;
    m_selectedIp = m_model->addressAt(row);
    setFocus(Qt::MouseFocusReason);
    viewport()->update();
    emit addressClicked(m_selectedIp);
}

void TrafficListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (rowAt(event->position().toPoint().y()) < 0)
        return;
    emit addressOpened(m_selectedIp);
}

void TrafficListCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void TrafficListCtrl::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

} // namespace orvane
