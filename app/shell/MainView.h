#pragma once

#include "core/ViewState.h"
#include "shell/TickPublisher.h"
#include "shell/ViewLayout.h"

#include <QWidget>

#include <array>
#include <cstdint>

class XEngine;

namespace orvane {

class AdvertPane;
class BusiestProgramPane;
class ConnectionsPage;
class DashboardPage;
class FindField;
class HistoryControl;
class HistoryPage;
class IpDetailPane;
class SkinTableView;
class ProcessMonitorList;
class RankingPage;
class StatusBar;
class SummaryGraphPane;
class TabStrip;
class TitleBar;
class TrafficListPage;
class TrafficModel;

// The main window's content: title bar, summary panes, tabs, the page of the list area, the
// detail side panel, status bar and advert. It makes every pane (each connects itself to the
// tick publisher), lays them out and switches pages; the publisher asks it how the view
// stands at every tick.
class MainView : public QWidget {
    Q_OBJECT
public:
    // history: the window's recording of history (null: none), for the history page.
    MainView(XEngine& engine, TrafficModel& model, QWidget* parent = nullptr, HistoryControl* history = nullptr);
    ~MainView() override;

    TitleBar* titleBar() const { return m_titleBar; }
    StatusBar* statusBar() const { return m_statusBar; }
    TabStrip* tabStrip() const { return m_tabs; }
    AdvertPane* advert() const { return m_advert; }
    BusiestProgramPane* busiestProgramPane() const { return m_busiest; }
    SummaryGraphPane* summaryGraphs() const { return m_summaryGraphs; }
    TrafficListPage* trafficList(XTrafficKind kind) const { return m_lists[std::size_t(kind)]; }
    RankingPage* rankingPage() const { return m_ranking; }
    ProcessMonitorList* processList() const { return m_processes; }
    ConnectionsPage* connectionsPage() const { return m_connections; }
    DashboardPage* dashboard() const { return m_dashboard; }
    // The history page; null in a build without the history library.
    HistoryPage* historyPage() const { return m_history; }
    // The list of the page on show that "Export CSV" writes: the traffic list, the
    // connections, on the ranking page the ranking when it has the focus and else the process
    // monitor list, the history page's main table; null for the dashboard.
    SkinTableView* listOnShow() const;
    IpDetailPane* detailPanel() const { return m_detail; }
    FindField* findField() const { return m_find; }
    QWidget* pageWidget(Page page) const { return m_pages[std::size_t(page)]; }
    QWidget* currentPage() const { return pageWidget(m_state.current); }
    const ViewState& state() const { return m_state; }
    const ViewMetrics& metrics() const { return m_metrics; }
    TickPublisher& ticks() { return m_ticks; }
    bool timerRunning() const { return m_ticks.running(); }

    // The automatic list refresh of the tray menu.
    void setAutoRefresh(bool on);

public slots:
    // One tick now (the timer's work; tests and benchmarks call it directly).
    void refreshTick();
    // A tab of the tab strip was clicked: the strip's selection decides the page.
    void showSelectedTab();
    // The window came back (from the tray, the floating strip or the menu): show the current
    // page again, refreshed. fromFloating clears the title bar's links for one tick.
    void reshowCurrentPage(bool fromFloating);
    // The dashboard becomes the page, with its dials (mode 1) or its curves (mode 2).
    void showDashboard(int mode);
    // The window is on show (true) or in the tray (false); tellAdvert starts or stops the
    // advert's display as well.
    void setShown(bool shown, bool tellAdvert);
    // The floating strip is on screen: its figures are needed while the window is away.
    void setFloatingShown(bool shown) { m_state.floatingShown = shown; }
    // The detail side panel: follow an address of the current list, open it, close it (which
    // also clears the selection of the three lists), show the current list's selection.
    void detailFollowCurrentList(std::uint32_t address);
    void openSidePanel();
    void closeSidePanel();
    void showCurrentSelection();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createPanes();
    void createPageKeys();
    void applyLayout();
    // Hides the page on show, makes page current, brings it up to date and shows it.
    void showPage(Page page, bool reshow);
    void bringUpToDate(Page page, bool reshow);
    // The find field's and the status bar's count of the list on show.
    void showFoundCount();
    // How the view stands for the tick being taken.
    ViewState tickView() const;

    XEngine& m_engine;
    TrafficModel& m_model;
    HistoryControl* m_historyControl;
    ViewMetrics m_metrics;
    ViewState m_state;
    TickPublisher m_ticks;

    TitleBar* m_titleBar = nullptr;
    StatusBar* m_statusBar = nullptr;
    TabStrip* m_tabs = nullptr;
    SummaryGraphPane* m_summaryGraphs = nullptr;
    AdvertPane* m_advert = nullptr;
    BusiestProgramPane* m_busiest = nullptr;
    ProcessMonitorList* m_processes = nullptr;
    RankingPage* m_ranking = nullptr;
    DashboardPage* m_dashboard = nullptr;
    IpDetailPane* m_detail = nullptr;
    FindField* m_find = nullptr;
    std::array<TrafficListPage*, kTrafficKinds> m_lists{};
    ConnectionsPage* m_connections = nullptr;
    HistoryPage* m_history = nullptr;
    std::array<QWidget*, kPages> m_pages{};
};

} // namespace orvane
