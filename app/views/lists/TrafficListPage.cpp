#include "views/lists/TrafficListPage.h"

#include "core/tick/TickSnapshot.h"
#include "views/TickFeed.h"
#include "views/lists/SkinHeaderView.h"
#include "views/lists/TrafficListModel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace orvane {

TrafficListPage::TrafficListPage(const TickFeed& ticks, TrafficListModel* model, QWidget* parent)
    : SkinTableView(parent), m_model(model)
{
    connect(&ticks, &TickFeed::published, this, &TrafficListPage::showTick);
    model->setParent(this);
    setModel(model);
    static constexpr const char* kWidthsKeys[kTrafficKinds] = {"columns_tcp", "columns_udp", "columns_chat"};
    setColumnWidths(trafficColumns(model->kind()), kWidthsKeys[model->kind()]);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TrafficListPage::onHeaderClicked);
    // While the list scrolls, rows come on show without a fetch of the whole page; once it
    // rests, the page is loaded into the cache and repainted.
    m_scrollSettle.setSingleShot(true);
    m_scrollSettle.setInterval(kScrollSettleMs);
    connect(&m_scrollSettle, &QTimer::timeout, this, [this] {
        m_forceRedraw = true;
        loadPage();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TrafficListPage::onScrolled);
}

XTrafficKind TrafficListPage::protocolIndex() const
{
    return m_model->kind();
}

void TrafficListPage::showTick(const TickSnapshot& snapshot)
{
    const ListRefresh& list = snapshot.list;
    if (list.action == ListRefresh::Action::None || list.kind != protocolIndex())
        return;
    if (list.action == ListRefresh::Action::Full)
        setItemCount(list.count);
    else
        repaintRows();
}

void TrafficListPage::refresh()
{
    setItemCount(m_model->refresh(m_sortKey != TrafficColumn::Address));
}

void TrafficListPage::setItemCount(int count)
{
    m_model->setItemCount(count);
    if (m_selectedRow != -1)
        relocateSelection();
    // The scroll range follows the new row count before the page is read.
    executeDelayedItemsLayout();
    const int top = topRow();
    refreshVisible(top, top + std::min(count, rowsPerPage()) + 1);
    emit rowsCounted(count, m_model->unfilteredCount());
}

void TrafficListPage::setFilterText(const QString& text)
{
    if (text.trimmed() == m_model->filterText())
        return;
    const bool selected = m_selectedRow != -1 || m_selectionFiltered;
    setItemCount(m_model->setFilterText(text));
    if (selected) {
        // The selection follows its address, not the row it stood in.
        m_selectedRow = m_model->rowOf(m_selectedIp);
        m_selectionFiltered = m_selectedRow == -1;
        viewport()->update();
    }
}

QString TrafficListPage::filterText() const
{
    return m_model->filterText();
}

int TrafficListPage::unfilteredCount() const
{
    return m_model->unfilteredCount();
}

void TrafficListPage::refreshVisible(int first, int last)
{
    m_model->refreshRows(first, last, m_forceRedraw);
    m_forceRedraw = false;
}

void TrafficListPage::loadPage()
{
    const int top = topRow();
    refreshVisible(top, top + rowsPerPage() + 1);
}

void TrafficListPage::repaintRows()
{
    loadPage();
}

int TrafficListPage::itemCount() const
{
    return m_model->rowCount();
}

ListShape TrafficListPage::shape() const
{
    return {m_model->rowCount(), rowsPerPage(), m_sortKey != TrafficColumn::Address};
}

void TrafficListPage::relocateSelection()
{
    const int row = m_model->rowOf(m_selectedIp);
    if (row != -1)
        m_selectedRow = row;
}

void TrafficListPage::showSelection()
{
    relocateSelection();
    if (m_selectedRow >= 0 && m_selectedRow < m_model->rowCount())
        scrollTo(m_model->index(m_selectedRow, 0));
    viewport()->update();
}

void TrafficListPage::clearSelection()
{
    if (m_selectedRow != -1)
        viewport()->update();
    m_selectedRow = -1;
    m_selectionFiltered = false;
}

void TrafficListPage::setMarkActive(bool on)
{
    m_model->setMarkActive(on);
}

void TrafficListPage::setAutoRefresh(bool on)
{
    m_autoRefresh = on;
    viewport()->update();
}

void TrafficListPage::onHeaderClicked(int section)
{
    m_sortKey = TrafficColumn(section);
    // The address and time columns re-sort at once; the others (which all mean "most recent
    // first") take effect at the next full refresh.
    if (m_sortKey == TrafficColumn::Address || (m_sortKey == TrafficColumn::LastSeen && protocolIndex() != kTrafficChat))
        refresh();
}

void TrafficListPage::onScrolled()
{
    m_scrollSettle.start();
}

void TrafficListPage::mousePressEvent(QMouseEvent* event)
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
    m_selectionFiltered = false;
    setFocus(Qt::MouseFocusReason);
    viewport()->update();
    emit addressClicked(m_selectedIp);
}

void TrafficListPage::selectRow(int row)
{
    m_selectedRow = row;
    m_selectedIp = m_model->addressAt(row);
    m_selectionFiltered = false;
    scrollTo(m_model->index(row, 0));
    viewport()->update();
    emit addressClicked(m_selectedIp);
}

void TrafficListPage::keyPressEvent(QKeyEvent* event)
{
    const int count = m_model->rowCount();
    const int from = m_selectedRow >= 0 ? m_selectedRow : topRow();
    const int page = std::max(1, rowsPerPage() - 1);
    int row = from;
    switch (event->key()) {
    case Qt::Key_Up: row = m_selectedRow >= 0 ? from - 1 : from; break;
    case Qt::Key_Down: row = m_selectedRow >= 0 ? from + 1 : from; break;
    case Qt::Key_PageUp: row = from - page; break;
    case Qt::Key_PageDown: row = from + page; break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = count - 1; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_selectedRow >= 0 && m_selectedRow < count)
            emit addressOpened(m_selectedIp);
        return;
    default:
        SkinTableView::keyPressEvent(event);
        return;
    }
    if (count > 0)
        selectRow(std::clamp(row, 0, count - 1));
}

void TrafficListPage::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (rowAt(event->position().toPoint().y()) < 0)
        return;
    emit addressOpened(m_selectedIp);
}

void TrafficListPage::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void TrafficListPage::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void TrafficListPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        // The cached rows and the filter's texts hold locations and chat programs in the old
        // language.
        m_model->forgetFilterTexts();
        if (m_model->filterText().isEmpty())
            setItemCount(itemCount());
        else
            setItemCount(m_model->setFilterText(m_model->filterText()));
    }
    SkinTableView::changeEvent(event);
}

} // namespace orvane
