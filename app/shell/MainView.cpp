#include "shell/MainView.h"

#include "core/TrafficModel.h"
#include "monitor/connections/ConnectionsPage.h"
#include "monitor/dashboard/DashboardPage.h"
#ifdef ORVANE_HAVE_HISTORY
#include "monitor/history/HistoryPage.h"
#include "monitor/history/HistoryTable.h"
#endif
#include "monitor/processes/ProcessMonitorList.h"
#include "monitor/summary/BusiestProgramPane.h"
#include "monitor/summary/SummaryGraphPane.h"
#include "shell/advert/AdvertPane.h"
#include "views/StatusBar.h"
#include "views/TabStrip.h"
#include "views/TitleBar.h"
#include "views/detail/IpDetailPane.h"
#include "views/lists/FindField.h"
#include "views/lists/TrafficListModel.h"
#include "views/lists/TrafficListPage.h"
#include "views/ranking/RankingList.h"
#include "views/ranking/RankingPage.h"

#include "capengine/XEngine.h"

#include <QPainter>

#include <QShortcut>

#include <algorithm>

namespace orvane {

MainView::MainView(XEngine& engine, TrafficModel& model, QWidget* parent, HistoryControl* history)
    : QWidget(parent), m_engine(engine), m_model(model), m_historyControl(history), m_metrics(ViewMetrics::fromSkin()),
      m_ticks(engine, model, [this] { return tickView(); })
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    createPanes();
    // Runs from the start, also for a window started hidden: the floating strip and the
    // engine's sampling go on while the window is in the tray.
    m_ticks.start();
}

MainView::~MainView() = default;

// Every pane of the view, in the order they are made. Each one that shows tick figures
// connects itself to m_ticks.
void MainView::createPanes()
{
    const CellSources sources = CellSources::fromProgram();
    m_titleBar = new TitleBar(m_ticks, this);
    m_titleBar->setEventSource(QString::fromStdString(m_engine.eventSource()));
    m_statusBar = new StatusBar(m_ticks, this);
    m_tabs = new TabStrip(this);
    m_summaryGraphs = new SummaryGraphPane(m_ticks, this);
    m_advert = new AdvertPane(this);
    m_busiest = new BusiestProgramPane(m_ticks, this);
    m_processes = new ProcessMonitorList(m_ticks);
    m_ranking = new RankingPage(m_engine, sources, m_processes, this);
    m_dashboard = new DashboardPage(m_ticks, this);
    m_detail = new IpDetailPane(m_ticks, m_model, sources, this);
    XEngine& engine = m_engine;
    for (XTrafficKind kind : {kTrafficTcp, kTrafficUdp, kTrafficChat}) {
        auto* rows = new TrafficListModel(kind, m_model, [&engine] { return engine.tick(); }, sources);
        TrafficListPage* list = m_lists[std::size_t(kind)] = new TrafficListPage(m_ticks, rows, this);
        connect(list, &TrafficListPage::addressClicked, this, &MainView::detailFollowCurrentList);
        connect(list, &TrafficListPage::addressOpened, this, &MainView::openSidePanel);
        m_pages[std::size_t(listPageOf(kind))] = list;
    }
    m_find = new FindField(this);
    connect(m_find, &FindField::textChanged, this, [this](const QString& text) {
        if (isTrafficList(m_state.current))
            m_lists[std::size_t(trafficKindOf(m_state.current))]->setFilterText(text);
    });
    connect(m_find, &FindField::dismissed, this, [this] { currentPage()->setFocus(); });
    for (TrafficListPage* list : m_lists) {
        connect(list, &TrafficListPage::rowsCounted, this, [this, list] {
            if (list == currentPage())
                showFoundCount();
        });
    }
    createPageKeys();
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        if (!isTrafficList(m_state.current))
            showPage(Page::TcpList, false);
        m_find->focusField();
    });
    m_connections = new ConnectionsPage(m_engine, sources, this);
    m_pages[std::size_t(Page::Ranking)] = m_ranking;
    m_pages[std::size_t(Page::Connections)] = m_connections;
    m_pages[std::size_t(Page::Dashboard)] = m_dashboard;
#ifdef ORVANE_HAVE_HISTORY
    m_history = new HistoryPage(m_historyControl, this);
    m_pages[std::size_t(Page::History)] = m_history;
#else
    // A build without the history library keeps the tab with an empty page.
    m_pages[std::size_t(Page::History)] = new QWidget(this);
#endif

    connect(m_detail, &IpDetailPane::closeRequested, this, &MainView::closeSidePanel);
    connect(m_detail, &IpDetailPane::selectionShowRequested, this, &MainView::showCurrentSelection);
    connect(m_tabs, &TabStrip::tabClicked, this, &MainView::showSelectedTab);
    connect(m_summaryGraphs, &SummaryGraphPane::curvesRequested, this,
            [this] { showDashboard(DashboardPage::Curves); });
    connect(m_titleBar, &TitleBar::onlineHelpRequested, m_advert, &AdvertPane::openOnlineHelp);

    for (QWidget* page : m_pages)
        if (page != currentPage())
            page->hide();
    m_detail->hide();
    m_lists[kTrafficTcp]->refresh();
}

// Ctrl+Tab and Ctrl+Shift+Tab step through the pages (round), Ctrl+1 ... Ctrl+7 go to one.
void MainView::createPageKeys()
{
    const auto step = [this](int by) { showPage(Page((int(m_state.current) + by + kPages) % kPages), false); };
    const auto bind = [this](QKeySequence keys, auto action) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    };
    bind(QKeySequence(Qt::CTRL | Qt::Key_Tab), [step] { step(1); });
    bind(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), [step] { step(-1); });
    bind(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), [step] { step(-1); });
    for (int i = 0; i < kPages; ++i)
        bind(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)), [this, i] { showPage(Page(i), false); });
}

void MainView::applyLayout()
{
    const ViewLayout l = ViewLayout::compute(m_metrics, width(), height(), m_state.sidePanelOpen);
    m_titleBar->setGeometry(l.titleBar);
    m_statusBar->setGeometry(l.statusBar);
    m_advert->setGeometry(l.advert);
    m_busiest->setGeometry(l.summaryWindow);
    m_tabs->setGeometry(l.tabs);
    m_summaryGraphs->setGeometry(l.summaryGraphs);
    // Only the traffic lists make room for the side panel.
    const ViewLayout full = ViewLayout::compute(m_metrics, width(), height(), false);
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        m_pages[i]->setGeometry(isTrafficList(Page(i)) ? l.pages : full.pages);
    m_detail->setGeometry(l.sidePanel);
    // The find field sits in the free band between the busiest-program readouts and the tabs.
    const int findHeight = std::max(18, m_find->fontMetrics().height() + 6);
    m_find->setGeometry(l.summaryWindow.left() + 8, l.tabs.top() - findHeight - 4,
                        std::max(0, l.summaryWindow.width() - 16), findHeight);
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

ViewState MainView::tickView() const
{
    ViewState view = m_state;
    if (isTrafficList(view.current))
        view.list = m_lists[std::size_t(trafficKindOf(view.current))]->shape();
    return view;
}

void MainView::setAutoRefresh(bool on)
{
    m_state.autoRefresh = on;
    for (TrafficListPage* list : m_lists)
        list->setAutoRefresh(on);
    currentPage()->update();
}

void MainView::refreshTick()
{
    m_ticks.tick();
}

void MainView::showPage(Page page, bool reshow)
{
    m_state.shown = true;
    currentPage()->hide();
    m_detail->hide();
    m_state.current = page;
    bringUpToDate(page, reshow);
    QWidget* widget = currentPage();
    widget->show();
    if (page != Page::Ranking)
        widget->setFocus();
    if (m_state.sidePanelOpen && isTrafficList(page))
        m_detail->show();
    m_tabs->showPage(page);
    m_find->setVisible(isTrafficList(page));
    if (isTrafficList(page))
        m_find->setTextQuietly(m_lists[std::size_t(trafficKindOf(page))]->filterText());
    showFoundCount();
    applyLayout();
}

void MainView::showFoundCount()
{
    if (!isTrafficList(m_state.current)) {
        m_statusBar->clearFound();
        return;
    }
    const XTrafficKind kind = trafficKindOf(m_state.current);
    const TrafficListPage* list = m_lists[std::size_t(kind)];
    m_find->showCount(list->itemCount(), list->unfilteredCount());
    if (list->filterText().isEmpty())
        m_statusBar->clearFound();
    else
        m_statusBar->showFound(kind, list->itemCount(), list->unfilteredCount());
}

void MainView::bringUpToDate(Page page, bool reshow)
{
    switch (page) {
    case Page::TcpList:
    case Page::UdpList:
    case Page::ChatList: {
        const XTrafficKind kind = trafficKindOf(page);
        m_lists[std::size_t(kind)]->refresh();
        m_detail->setKind(kind);
        break;
    }
    case Page::Ranking:
        m_ranking->showRanking();
        break;
    case Page::Connections:
        // A snapshot of the machine's sockets: read again when its tab is chosen, kept as it
        // is when the window merely comes back.
        if (!reshow)
            m_connections->refresh();
        break;
    case Page::History:
#ifdef ORVANE_HAVE_HISTORY
        // The range is asked again: what was recorded meanwhile comes in.
        m_history->showHistory();
#endif
        break;
    case Page::Dashboard:
        break;
    }
}

SkinTableView* MainView::listOnShow() const
{
    switch (m_state.current) {
    case Page::TcpList:
    case Page::UdpList:
    case Page::ChatList: return m_lists[std::size_t(trafficKindOf(m_state.current))];
    case Page::Ranking:
        if (m_ranking->rankingList()->hasFocus())
            return m_ranking->rankingList();
        return m_processes;
    case Page::Connections: return m_connections;
    case Page::History:
#ifdef ORVANE_HAVE_HISTORY
        return m_history->mainTable();
#else
        return nullptr;
#endif
    case Page::Dashboard: break;
    }
    return nullptr;
}

void MainView::showSelectedTab()
{
    showPage(pageOfTab(m_tabs->current()), false);
}

void MainView::reshowCurrentPage(bool fromFloating)
{
    if (fromFloating)
        m_titleBar->setLinksEnabled(false);
    showPage(m_state.current, true);
}

void MainView::showDashboard(int mode)
{
    m_dashboard->setMode(mode);
    showPage(Page::Dashboard, false);
}

void MainView::setShown(bool shown, bool tellAdvert)
{
    m_state.shown = shown;
    if (tellAdvert)
        m_advert->setAnimation(shown);
}

void MainView::detailFollowCurrentList(std::uint32_t address)
{
    if (isTrafficList(m_state.current))
        m_detail->follow(trafficKindOf(m_state.current), address);
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
    for (TrafficListPage* list : m_lists)
        list->clearSelection();
    m_state.sidePanelOpen = false;
    m_detail->hide();
    applyLayout();
    currentPage()->update();
}

void MainView::showCurrentSelection()
{
    if (isTrafficList(m_state.current))
        m_lists[std::size_t(trafficKindOf(m_state.current))]->showSelection();
}

} // namespace orvane
