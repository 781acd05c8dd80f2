#pragma once

#include "monitor/summary/SystemFigures.h"
#include "shell/ViewLayout.h"
#include "shell/core/RefreshCycle.h"
#include "shell/core/ViewState.h"

#include <QTimer>
#include <QWidget>

class XEngine;

namespace orvane {

class AdvertWindow;
class BusiestProgramPanel;
class ConnectionsPage;
class DashboardWindow;
class IpDetailPane;
class RankingPage;
class StatusBar;
class SummaryGraphWindow;
class TabStrip;
class TitleBar;
class TrafficListCtrl;
class TrafficModel;

// The main window's content: title bar, summary panes, tabs, the page of the list area,
// the detail side panel, status bar and advert. It owns the one-second timer that drives the
// refresh cycle and switches pages.
class MainView : public QWidget, private RefreshTargets {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1000;

    MainView(XEngine& engine, TrafficModel& model, QWidget* parent = nullptr);
    ~MainView() override;

    TitleBar* titleBar() const { return m_titleBar; }
    StatusBar* statusBar() const { return m_statusBar; }
    TabStrip* tabStrip() const { return m_tabs; }
    AdvertWindow* advert() const { return m_advert; }
    BusiestProgramPanel* busiestProgramPanel() const { return m_summary; }
    // The machine's current figures the monitor views share (CPU, memory, disk and network
    // speeds, busiest programs).
    SystemFigures& figures() { return m_figures; }
    TrafficListCtrl* trafficList(int kind) const { return m_lists[kind]; }
    RankingPage* rankingPage() const { return m_ranking; }
    ConnectionsPage* connectionsPage() const { return m_connections; }
    DashboardWindow* dashboard() const { return m_dashboard; }
    SummaryGraphWindow* summaryGraphs() const { return m_summaryGraphs; }
    IpDetailPane* detailPanel() const { return m_detail; }
    QWidget* currentPage() const { return pageWidget(m_state.current); }
    const ViewState& state() const { return m_state; }
    const ViewMetrics& metrics() const { return m_metrics; }
    const RefreshCycle& cycle() const { return m_cycle; }
    bool timerRunning() const { return m_timer.isActive(); }

    // The automatic list refresh of the tray menu.
    void setAutoRefresh(bool on);

public slots:
    // One tick of the refresh cycle (the timer's slot; tests call it directly).
    void refreshTick();
    // A tab of the tab strip was clicked: the strip's selection decides the page.
    void showSelectedTab();
    // The window came back (from the tray, the floating strip or the menu): show the current
    // page again, refreshed. fromFloating clears the title bar's links for one tick.
    void reshowCurrentPage(bool fromFloating);
    // The dashboard becomes the page, with its dials (mode 1) or its curves (mode 2).
    void showGauge(long long mode);
    // The window is on show (true) or in the tray (false); tellAdvert starts or stops the
    // advert's display as well.
    void setShown(bool shown, bool tellAdvert);
    // The detail side panel: follow an address of the current list, open it, close it (which
    // also clears the selection of the three lists), show the current list's selection.
    void detailFollowCurrentList(long long argument);
    void openSidePanel();
    void closeSidePanel();
    void showCurrentSelection();

signals:
    // Sent on every tick, for the floating strip.
    void floatingRefreshRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createPanes();
    void applyLayout();
    void beginPageSwitch();
    void finishPageSwitch();
    QWidget* pageWidget(PageKind page) const;
    void fullRefreshOf(int kind);

    // The refresh cycle's steps.
    void refreshRanking(bool onShow) override;
    void takeTotals(const TrafficTotals& totals, std::uint32_t elapsedMs) override;
    void repaintStatus() override;
    void repaintGauge() override;
    void feedDetailPanel(std::uint32_t elapsedMs) override;
    void repaintDetailPanel() override;
    ListShape listShape(int kind) override;
    void listRefreshed(int kind, int count) override;
    void repaintListRows(int kind) override;
    void refreshSummaryWindow() override;
    void sampleSummaryGraphs(bool repaint) override;
    void refreshFloatingWindow() override;

    XEngine& m_engine;
    TrafficModel& m_model;
    SystemFigures m_figures;
    ViewMetrics m_metrics;
    ViewState m_state;
    RefreshCycle m_cycle;
    QTimer m_timer;

    TitleBar* m_titleBar = nullptr;
    StatusBar* m_statusBar = nullptr;
    TabStrip* m_tabs = nullptr;
    SummaryGraphWindow* m_summaryGraphs = nullptr;
    AdvertWindow* m_advert = nullptr;
    BusiestProgramPanel* m_summary = nullptr;
    RankingPage* m_ranking = nullptr;
    DashboardWindow* m_dashboard = nullptr;
    IpDetailPane* m_detail = nullptr;
    TrafficListCtrl* m_lists[3] = {nullptr, nullptr, nullptr};
    ConnectionsPage* m_connections = nullptr;
};

} // namespace orvane
