#pragma once

#include "core/ViewState.h"
#include "core/lists/ListColumn.h"
#include "views/lists/SkinTableView.h"

#include <QTimer>

#include <cstdint>

namespace orvane {

class TickFeed;
class TrafficListModel;
struct TickSnapshot;

// One of the three traffic lists (TCP, UDP, chat), a page of the list area: a skinned list
// over a TrafficListModel with its own selection (which follows the selected address through
// refreshes), active-row marking and header clicks that re-sort. Each tick's list refresh
// reaches the list on show through its snapshot.
class TrafficListPage : public SkinTableView {
    Q_OBJECT
public:
    static constexpr TrafficColumn kInitialSortKey = TrafficColumn::LastSeen;
    static constexpr int kScrollSettleMs = 100;

    TrafficListPage(const TickFeed& ticks, TrafficListModel* model, QWidget* parent = nullptr);

    TrafficListModel* listModel() const { return m_model; }
    XTrafficKind protocolIndex() const;

    // Full refresh: re-read and re-sort the addresses, re-locate the selection, load the
    // visible rows.
    void refresh();
    // The tick refreshed the model's list: show count rows (the rest of a full refresh).
    void setItemCount(int count);
    // Cache refresh of rows first..last: fresh values, repaint of the rows whose active
    // marking shows or just ended.
    void refreshVisible(int first, int last);
    // The visible rows (the tick's refresh of a long list).
    void repaintRows();
    ListShape shape() const;
    int itemCount() const;
    // The find field's text: the list shows the entries whose address, DNS name, location or
    // program hold it (any case); empty shows every entry. A selected entry the filter hides
    // stays selected, unmarked, and is marked again when the filter lets it through.
    void setFilterText(const QString& text);
    QString filterText() const;
    // The entries of the last read, before the filter.
    int unfilteredCount() const;

    void relocateSelection();
    void showSelection();
    void clearSelection();
    int selectedRow() const override { return m_selectedRow; }
    std::uint32_t selectedIp() const { return m_selectedIp; }
    TrafficColumn sortKey() const { return m_sortKey; }
    void setMarkActive(bool on);
    void setAutoRefresh(bool on);
    bool autoRefresh() const { return m_autoRefresh; }

public slots:
    // The tick's list refresh, when it is this list's.
    void showTick(const orvane::TickSnapshot& snapshot);

signals:
    // The rows shown and the entries of the last read, after each change of the rows.
    void rowsCounted(int shown, int total);
    // A row was clicked (selected or deselected): its address.
    void addressClicked(std::uint32_t address);
    // A row was double-clicked: the selected address.
    void addressOpened(std::uint32_t address);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Makes row the selection, scrolls it into sight and tells it like a click.
    void selectRow(int row);
    void onHeaderClicked(int section);
    void onScrolled();
    void loadPage();

    TrafficListModel* m_model;
    TrafficColumn m_sortKey = kInitialSortKey;
    int m_selectedRow = -1;
    std::uint32_t m_selectedIp = 0;
    bool m_selectionFiltered = false;  // m_selectedIp is selected but the filter hides it
    bool m_forceRedraw = false;
    bool m_autoRefresh = true;
    QTimer m_scrollSettle;
};

} // namespace orvane
