#include "shell/MainView.h"

#include "config/TextUtil.h"
#include "monitor/connections/ConnectionsPage.h"
#include "monitor/dashboard/DashboardWindow.h"
#include "monitor/processes/ProcessMonitorList.h"
#include "monitor/summary/BusiestProgramPanel.h"
#include "monitor/summary/SummaryGraphWindow.h"
#include "shell/advert/AdvertWindow.h"
#include "shell/core/TrafficModel.h"
#include "views/StatusBar.h"
#include "views/TabStrip.h"
#include "views/TitleBar.h"
#include "views/detail/IpDetailPane.h"
#include "views/lists/TrafficListCtrl.h"
#include "views/lists/TrafficListModel.h"
#include "views/ranking/RankingPage.h"

#include "capengine/XEngine.h"

#include <QPainter>

namespace orvane {

MainView::MainView(XEngine& engine, TrafficModel& model, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_model(model), m_metrics(ViewMetrics::fromSkin()),
      m_cycle(engine, model, *this)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    createPanes();
    m_timer.setInterval(kRefreshMs);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MainView::refreshTick);
    // Runs from the start, also for a window started hidden: the floating strip and the
    // engine's sampling go on while the window is in the tray.
    m_timer.start();
}

MainView::~MainView() = default;

// Every pane of the view, in the order they are made. The summary panes, the dashboard and
// the floating strip share m_figures: each writes its own figures once a tick, the others
// read them.
void MainView::createPanes()
{
    const CellSources sources = CellSources::fromProgram();
    m_titleBar = new TitleBar(this);
    m_statusBar = new StatusBar(this);
    m_tabs = new TabStrip(this);
    m_summaryGraphs = new SummaryGraphWindow(m_figures, this);
    m_advert = new AdvertWindow(this);
    m_summary = new BusiestProgramPanel(m_figures, this);
    m_ranking = new RankingPage(m_engine, sources, this);
    m_dashboard = new DashboardWindow(m_figures, this);
    m_detail = new IpDetailPane(m_model, sources, this);
    XEngine& engine = m_engine;
    for (int kind = 0; kind < 3; ++kind) {
        auto* rows = new TrafficListModel(kind, m_model, [&engine] { return engine.tick(); }, sources);
        TrafficListCtrl* list = m_lists[kind] = new TrafficListCtrl(rows, this);
        connect(list, &TrafficListCtrl::addressClicked, this,
                [this](std::uint32_t address) { detailFollowCurrentList(address); });
        connect(list, &TrafficListCtrl::addressOpened, this, &MainView::openSidePanel);
    }
    m_connections = new ConnectionsPage(m_engine, sources, this);
    connect(m_detail, &IpDetailPane::closeRequested, this, &MainView::closeSidePanel);
    connect(m_detail, &IpDetailPane::selectionShowRequested, this, &MainView::showCurrentSelection);

    connect(m_tabs, &TabStrip::tabClicked, this, &MainView::showSelectedTab);
    connect(m_summaryGraphs, &SummaryGraphWindow::curvesRequested, this,
            [this] { showGauge(DashboardWindow::Curves); });
    connect(m_titleBar, &TitleBar::onlineHelpRequested, m_advert, &AdvertWindow::openOnlineHelp);

    for (PageKind page : {PageKind::UdpList, PageKind::ChatList, PageKind::Ranking, PageKind::Connections, PageKind::Gauge})
        pageWidget(page)->hide();
    m_detail->hide();
    fullRefreshOf(trafficKindOf(PageKind::TcpList));
}

QWidget* MainView::pageWidget(PageKind page) const
{
    switch (page) {
    case PageKind::TcpList:
    case PageKind::UdpList:
    case PageKind::ChatList:
        return m_lists[trafficKindOf(page)];
    case PageKind::Ranking:
        return m_ranking;
    case PageKind::Connections:
        return m_connections;
    case PageKind::Gauge:
        return m_dashboard;
    }
    return m_lists[0];
}

void MainView::applyLayout()
{
    const ViewLayout l = ViewLayout::compute(m_metrics, width(), height(), m_state.sidePanelOpen);
    m_titleBar->setGeometry(l.titleBar);
    m_statusBar->setGeometry(l.statusBar);
    m_advert->setGeometry(l.advert);
    m_summary->setGeometry(l.summaryWindow);
    m_tabs->setGeometry(l.tabs);
    m_summaryGraphs->setGeometry(l.summaryGraphs);
    const ViewLayout full = ViewLayout::compute(m_metrics, width(), height(), false);
    for (TrafficListCtrl* list : m_lists)
        list->setGeometry(l.pages);
    for (QWidget* page : {static_cast<QWidget*>(m_ranking), static_cast<QWidget*>(m_connections),
                          static_cast<QWidget*>(m_dashboard)})
        page->setGeometry(full.pages);
    m_detail->setGeometry(l.sidePanel);
}

void MainView::resizeEvent(QResizeEvent*)
{
    applyLayout();
}

void MainView::showEvent(QShowEvent*)
{
    applyLayout();
}

void MainView::paintEvent(QPaintEvent*)
{
    // The margins, the band under the title bar and the divider above the status bar show
    // the background; the strip under the tab area is green.
    QPainter painter(this);
    painter.fillRect(rect(), m_metrics.background);
    const ViewLayout l = ViewLayout::compute(m_metrics, width(), height(), m_state.sidePanelOpen);
    painter.fillRect(l.gapStrip, ViewMetrics::kGapColor);
}

void MainView::setAutoRefresh(bool on)
{
    m_state.autoRefresh = on;
    for (TrafficListCtrl* list : m_lists)
        list->setAutoRefresh(on);
    currentPage()->update();
}

void MainView::refreshTick()
{
    m_cycle.tick(m_engine.tick(), m_state);
}

void MainView::fullRefreshOf(int kind)
{
    m_cycle.fullListRefresh(kind);
}

void MainView::beginPageSwitch()
{
    m_state.shown = true;
    currentPage()->hide();
    m_detail->hide();
}

void MainView::finishPageSwitch()
{
    QWidget* page = currentPage();
    page->show();
    if (m_state.current != PageKind::Ranking)
        page->setFocus();
    if (m_state.sidePanelOpen && isTrafficList(m_state.current))
        m_detail->show();
    applyLayout();
}

void MainView::showSelectedTab()
{
    beginPageSwitch();
    const int index = m_tabs->current();
    if (index == 3) {
        m_state.current = PageKind::Ranking;
        m_ranking->showRanking();
    } else if (index == 4) {
        m_state.current = PageKind::Connections;
        m_connections->refresh();
    } else {
        m_state.current = static_cast<PageKind>(index);
        fullRefreshOf(index);
        m_detail->setKind(index);
    }
    finishPageSwitch();
}

void MainView::reshowCurrentPage(bool fromFloating)
{
    beginPageSwitch();
    if (fromFloating)
        m_titleBar->setLinksEnabled(false);
    if (m_state.current == PageKind::Ranking) {
        m_ranking->showRanking();
    } else if (isTrafficList(m_state.current)) {
        const int kind = trafficKindOf(m_state.current);
        fullRefreshOf(kind);
        m_detail->setKind(kind);
    }
    finishPageSwitch();
}

void MainView::showGauge(long long mode)
{
    beginPageSwitch();
    m_state.current = PageKind::Gauge;
    m_dashboard->setMode(int(mode));
    finishPageSwitch();
}

void MainView::setShown(bool shown, bool tellAdvert)
{
    m_state.shown = shown;
    if (tellAdvert)
        m_advert->setAnimation(shown);
}

void MainView::detailFollowCurrentList(long long argument)
{
    if (isTrafficList(m_state.current))
        m_detail->follow(trafficKindOf(m_state.current), std::uint32_t(argument));
    m_detail->update();
}

void MainView::openSidePanel()
{
    m_state.sidePanelOpen = true;
    applyLayout();
    if (isTrafficList(m_state.current))
        m_detail->show();
}

void MainView::closeSidePanel()
{
    for (TrafficListCtrl* list : m_lists)
        list->clearSelection();
    m_state.sidePanelOpen = false;
    m_detail->hide();
    applyLayout();
    currentPage()->update();
}

void MainView::showCurrentSelection()
{
    if (isTrafficList(m_state.current))
        m_lists[trafficKindOf(m_state.current)]->showSelection();
}

void MainView::refreshRanking(bool onShow)
{
    m_ranking->refresh(onShow);
    // The process monitor has just taken the tick's per-program totals: its disk speeds and
    // busiest programs are the ones the summary panes and the floating strip show.
    const ProcessFigures& programs = m_ranking->processList()->monitor().figures();
    m_figures.diskRead = programs.diskRead;
    m_figures.diskWrite = programs.diskWrite;
    m_figures.busiestDisk = {programs.busiestDisk.speed, lumivex::config::visibleText(programs.busiestDisk.name)};
    m_figures.busiestNet = {programs.busiestNet.speed, lumivex::config::visibleText(programs.busiestNet.name)};
}

void MainView::takeTotals(const TrafficTotals& totals, std::uint32_t elapsedMs)
{
    m_statusBar->updateTotals(totals);
    RateTotals rates;
    rates.tcpSentBytes = totals.sentBytes[0];
    rates.tcpReceivedBytes = totals.recvBytes[0];
    rates.udpSentBytes = totals.sentBytes[1];
    rates.udpReceivedBytes = totals.recvBytes[1];
    for (int kind = 0; kind < 3; ++kind) {
        rates.sentPackets += totals.sentPackets[kind];
        rates.receivedPackets += totals.recvPackets[kind];
    }
    m_dashboard->takeTotals(rates, elapsedMs);
}

void MainView::repaintStatus()
{
    m_statusBar->update();
    m_titleBar->setLinksEnabled(true);
}

void MainView::repaintGauge()
{
    m_dashboard->update();
}

void MainView::feedDetailPanel(std::uint32_t elapsedMs)
{
    m_detail->sample(elapsedMs);
}

void MainView::repaintDetailPanel()
{
    m_detail->update();
}

ListShape MainView::listShape(int kind)
{
    return m_lists[kind]->shape();
}

void MainView::listRefreshed(int kind, int count)
{
    m_lists[kind]->setItemCount(count);
}

void MainView::repaintListRows(int kind)
{
    m_lists[kind]->repaintRows();
}

void MainView::refreshSummaryWindow()
{
    m_summary->refresh();
}

void MainView::sampleSummaryGraphs(bool repaint)
{
    m_summaryGraphs->sample(repaint);
}

void MainView::refreshFloatingWindow()
{
    emit floatingRefreshRequested();
}

} // namespace orvane
