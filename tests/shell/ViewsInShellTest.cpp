// The views inside the window program: list rows open and feed the detail pane, its close
// button hides it and clears the selections, the tabs bring the ranking and the connections
// page on show.
#include "ShellFixture.h"

#include "capture/XIPCounter.h"
#include "hostinfo/NetIoRecord.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/ByteOrder.h"

#include "monitor/connections/ConnectionsPage.h"
#include "monitor/dashboard/DashboardPage.h"
#include "monitor/processes/ProcessMonitorList.h"
#include "shell/MainFrame.h"
#include "shell/MainView.h"
#include "shell/ProgramMenu.h"
#include "views/FittedText.h"
#include "views/StatusBar.h"
#include "views/TabStrip.h"
#include "views/detail/IpDetailPane.h"
#include "views/floating/FloatWindow.h"
#include "views/lists/FindField.h"
#include "views/lists/SkinHeaderView.h"
#include "views/lists/TrafficListPage.h"
#include "views/lists/TrafficListModel.h"
#include "views/ranking/RankingList.h"
#include "views/ranking/RankingPage.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

using orvane::MainView;
using orvane::TrafficListPage;

namespace {

constexpr std::uint32_t kBase = 0x0A000100;

class ViewsInShell : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        installShippedSkin();
        writeDataFile("user.ini", "menu_updatelist_status=1\n");
    }

    // Starts the program over n TCP addresses (the last counted is the most recent) and shows
    // the TCP list refreshed.
    MainView* startWith(int n)
    {
        for (int i = 0; i < n; ++i) {
            test.count(kTrafficTcp, kBase + std::uint32_t(i), 2000 + 100 * i, 1);
            test.now += 10;
        }
        EXPECT_TRUE(start());
        MainView* view = app->frame()->view();
        view->reshowCurrentPage(false);
        return view;
    }

    static QPoint rowPoint(int row) { return QPoint(200, row * orvane::SkinTableView::kRowHeight + 9); }
};

} // namespace

TEST_F(ViewsInShell, DoubleClickOpensThePaneCloseHidesItAndClearsTheSelections)
{
    MainView* view = startWith(3);
    TrafficListPage* list = view->trafficList(kTrafficTcp);
    ASSERT_EQ(list->itemCount(), 3);
    const int fullWidth = list->width();

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(1));
    EXPECT_EQ(list->selectedRow(), 1);
    EXPECT_EQ(view->detailPanel()->tracker().tracked(kTrafficTcp).address, kBase + 1);  // the pane follows the click
    EXPECT_FALSE(view->state().sidePanelOpen);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowPoint(1));
    EXPECT_TRUE(view->state().sidePanelOpen);
    EXPECT_TRUE(view->detailPanel()->isVisibleTo(app->frame()));
    EXPECT_EQ(list->width(), fullWidth - orvane::ViewMetrics::kSidePanelWidth + 1);

    // The timer's ticks feed the pane.
    view->refreshTick();
    test.count(kTrafficTcp, kBase + 1, 5000, 1);
    view->refreshTick();
    EXPECT_EQ(view->detailPanel()->curve(kTrafficTcp, 0).ring().writeIndex(), 1);

    orvane::IpDetailPane* pane = view->detailPanel();
    QTest::mouseClick(pane, Qt::LeftButton, {}, pane->closeButtonRect().center());
    EXPECT_FALSE(view->state().sidePanelOpen);
    EXPECT_FALSE(pane->isVisibleTo(app->frame()));
    EXPECT_EQ(list->selectedRow(), -1);
    EXPECT_EQ(list->width(), fullWidth);
    EXPECT_EQ(pane->tracker().tracked(kTrafficTcp).address, 0u);
}

TEST_F(ViewsInShell, DoubleClickInThePaneScrollsTheListBackToItsSelection)
{
    MainView* view = startWith(200);
    TrafficListPage* list = view->trafficList(kTrafficTcp);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(2));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowPoint(2));
    ASSERT_TRUE(view->state().sidePanelOpen);
    list->verticalScrollBar()->setValue(150);
    ASSERT_GT(list->topRow(), 2);
    QTest::mouseDClick(view->detailPanel(), Qt::LeftButton, {}, QPoint(100, 400));
    EXPECT_LE(list->topRow(), 2);
    EXPECT_EQ(list->selectedRow(), 2);
}

TEST_F(ViewsInShell, TabsShowTheRankingAndTheConnections)
{
    MainView* view = startWith(3);
    orvane::TabStrip* tabs = view->tabStrip();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
    ASSERT_EQ(view->currentPage(), view->rankingPage());
    auto* ranking = view->rankingPage()->rankingList()->rankingModel();
    EXPECT_EQ(ranking->index(0, 0).data().toString(), " 10.0.1.2");  // the largest first
    EXPECT_FALSE(ranking->index(2, 0).data().toString().isEmpty());
    view->refreshTick();  // the tick reaches the process monitor without trouble

    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(4).center());
    ASSERT_EQ(view->currentPage(), view->connectionsPage());
    EXPECT_EQ(view->connectionsPage()->connectionsModel()->rowCount(), 0);  // the test engine lists no sockets

    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    EXPECT_EQ(view->trafficList(kTrafficTcp)->itemCount(), 3);
    const QImage shot = app->frame()->grab().toImage();
    shot.save(QStringLiteral(LUMIVEX_SHOT_DIR "/shell_tcp_list.png"));
}

TEST_F(ViewsInShell, CtrlFFiltersTheListAsTypedAndEscapeGivesItBack)
{
    MainView* view = startWith(12);  // 10.0.1.0 ... 10.0.1.11
    app->frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app->frame()));
    TrafficListPage* list = view->trafficList(kTrafficTcp);
    orvane::FindField* find = view->findField();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(6));  // 10.0.1.5
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(find->edit()->hasFocus());

    QTest::keyClicks(find->edit(), QStringLiteral("1.1"));
    EXPECT_EQ(list->itemCount(), 3);  // .1, .10, .11
    EXPECT_EQ(list->selectedRow(), -1);  // the selected address is not among them
    EXPECT_EQ(find->countText(), QStringLiteral("3 / 共 12"));
    EXPECT_EQ(list->model()->index(0, 0).data().toString().trimmed(), QStringLiteral("10.0.1.11"));
    app->frame()->grab().toImage().save(QStringLiteral(LUMIVEX_SHOT_DIR "/shell_find.png"));
    // The status bar's TCP address cell says it too, in the language chosen.
    orvane::StatusBar* status = view->statusBar();
    status->grab();
    EXPECT_EQ(status->paintedValue(0, 2), QStringLiteral("3 / 共 12"));
    app->frame()->menu()->languageItem(lumivex::config::Language::English)->trigger();
    status->grab();
    EXPECT_EQ(find->countText(), QStringLiteral("3 of 12"));
    EXPECT_EQ(status->paintedValue(0, 2), QStringLiteral("3 of 12"));
    app->frame()->grab().toImage().save(QStringLiteral(LUMIVEX_SHOT_DIR "/shell_find_en.png"));
    // The filter holds across a refresh; another list keeps its own.
    list->refresh();
    EXPECT_EQ(list->itemCount(), 3);
    orvane::TabStrip* tabs = view->tabStrip();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_TRUE(find->text().isEmpty());
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    EXPECT_EQ(find->text(), QStringLiteral("1.1"));

    find->focusField();
    QTest::keyClick(find->edit(), Qt::Key_Escape);
    EXPECT_TRUE(find->text().isEmpty());
    EXPECT_TRUE(find->countText().isEmpty());
    EXPECT_EQ(list->itemCount(), 12);
    EXPECT_TRUE(list->hasFocus());
    EXPECT_EQ(list->selectedRow(), 6);  // and is marked again
    view->refreshTick();
    status->grab();
    EXPECT_EQ(status->paintedValue(0, 2), QStringLiteral("12"));  // the TCP addresses again
}

TEST_F(ViewsInShell, KeysSwitchPagesMoveInTheListAndEnterOpensTheDetail)
{
    MainView* view = startWith(40);
    app->frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app->frame()));
    TrafficListPage* list = view->trafficList(kTrafficTcp);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(view->state().current, orvane::Page::UdpList);
    QTest::keyClick(view->currentPage(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view->state().current, orvane::Page::TcpList);
    QTest::keyClick(view->currentPage(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view->state().current, orvane::Page::Dashboard);  // round from the first page
    QTest::keyClick(view->currentPage(), Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(view->currentPage(), view->connectionsPage());
    QTest::keyClick(view->currentPage(), Qt::Key_6, Qt::ControlModifier);
    EXPECT_EQ(view->state().current, orvane::Page::History);
    QTest::keyClick(view->currentPage(), Qt::Key_7, Qt::ControlModifier);
    EXPECT_EQ(view->state().current, orvane::Page::Dashboard);
    QTest::keyClick(view->currentPage(), Qt::Key_1, Qt::ControlModifier);
    ASSERT_EQ(view->currentPage(), list);

    QTest::keyClick(list, Qt::Key_Down);  // the first key selects the top row
    EXPECT_EQ(list->selectedRow(), 0);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->selectedRow(), 1);
    QTest::keyClick(list, Qt::Key_PageDown);
    EXPECT_EQ(list->selectedRow(), 1 + list->rowsPerPage() - 1);
    EXPECT_LE(list->topRow(), list->selectedRow());
    EXPECT_GT(list->topRow(), 0);  // scrolled to keep the selection in sight
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_EQ(list->selectedRow(), 39);
    QTest::keyClick(list, Qt::Key_PageDown);
    EXPECT_EQ(list->selectedRow(), 39);
    QTest::keyClick(list, Qt::Key_Home);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(list->selectedRow(), 0);
    EXPECT_FALSE(view->state().sidePanelOpen);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(view->state().sidePanelOpen);
}

namespace {

// Every caption of the list's header has its whole text inside its column, and the columns
// fill the list's width exactly.
void expectColumnsFit(TrafficListPage* list)
{
    const QFontMetrics captions(list->skinHeader()->captionFont());
    int sum = 0;
    for (int c = 0; c < list->model()->columnCount(); ++c) {
        const QString caption = list->model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_GE(list->columnWidth(c) - 5, captions.horizontalAdvance(caption)) << caption.toStdString();
        sum += list->columnWidth(c);
    }
    EXPECT_EQ(sum, list->viewport()->width());
}

} // namespace

TEST_F(ViewsInShell, ColumnsFitTheWindowInBothLanguagesAndDraggedWidthsAreKept)
{
    MainView* view = startWith(3);
    app->frame()->resize(960, 680);
    QApplication::processEvents();
    TrafficListPage* list = view->trafficList(kTrafficTcp);
    expectColumnsFit(list);
    app->frame()->menu()->languageItem(lumivex::config::Language::English)->trigger();
    QApplication::processEvents();
    expectColumnsFit(list);
    app->frame()->grab().toImage().save(QStringLiteral(LUMIVEX_SHOT_DIR "/shell_columns_en.png"));
    // With the side panel open the list is narrower and still fits.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(view->state().sidePanelOpen);
    QApplication::processEvents();
    expectColumnsFit(list);
    app->frame()->grab().toImage().save(QStringLiteral(LUMIVEX_SHOT_DIR "/shell_columns_detail_en.png"));

    list->horizontalHeader()->resizeSection(2, 222);  // as the user's drag does
    view->rankingPage()->rankingList()->horizontalHeader()->resizeSection(1, 90);
    view->processList()->horizontalHeader()->resizeSection(0, 150);
    app->shutdown();
    EXPECT_TRUE(readDataFile("user.ini").contains("columns_tcp=0,0,222,0,0,0,0,0\n"));
    EXPECT_TRUE(readDataFile("user.ini").contains("columns_ranking=0,90,0,0,0,0\n"));
    EXPECT_TRUE(readDataFile("user.ini").contains("columns_processes=150,0,0,0,0,0,0,0,0\n"));
    app.reset();
    ASSERT_TRUE(start());
    // The name column is wider than the location column now (150 and 160 to start with).
    TrafficListPage* again = app->frame()->view()->trafficList(kTrafficTcp);
    EXPECT_GT(again->columnWidth(2), again->columnWidth(3));
    expectColumnsFit(again);
}

namespace {

// A tick with the widest figures each readout can come to: speeds of hundreds of megabytes,
// totals of hundreds of terabytes, hundreds of thousands of addresses, full CPU and memory.
orvane::TickSnapshot widestTick(const orvane::ViewState& view)
{
    orvane::TickSnapshot s;
    s.tick = 2;
    s.elapsedMs = 1000;
    s.view = view;
    for (int kind = 0; kind < kTrafficKinds; ++kind) {
        s.totals.sentBytes[kind] = s.totals.recvBytes[kind] = 3.3e14;
        s.totals.sentPackets[kind] = s.totals.recvPackets[kind] = 3.3e11;
        s.totals.addresses[kind] = 333333;
    }
    s.ratesFresh = true;
    s.rates.fill(987654321.0);
    s.machine.cpuPercent = 100;
    s.machine.memoryPercent = 100;
    s.machine.diskRead = s.machine.diskWrite = s.machine.download = s.machine.upload = 987654321u;
    s.machine.busiestDisk = {987654321u, "postgres"};
    s.machine.busiestNet = {987654321u, "firefox-esr"};
    return s;
}

// The readouts drawn since the last check, each inside its box and whole, and none running
// into another (a pane painted twice draws the same readout twice: that is one).
void expectReadoutsFit(std::vector<orvane::FittedTextRecord>& drawn, const std::string& where)
{
    EXPECT_FALSE(drawn.empty()) << where;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        const orvane::FittedTextRecord& r = drawn[i];
        EXPECT_LE(r.width, r.box.width()) << where << ": " << r.text.toStdString();
        EXPECT_FALSE(r.shortened) << where << ": " << r.text.toStdString();
        for (std::size_t j = 0; j < i; ++j) {
            const orvane::FittedTextRecord& o = drawn[j];
            if (o.onDevice == r.onDevice && o.text == r.text)
                continue;
            EXPECT_FALSE(r.onDevice.intersects(o.onDevice))
                << where << ": \"" << r.text.toStdString() << "\" runs into \"" << o.text.toStdString() << "\"";
        }
    }
    drawn.clear();
}

} // namespace

TEST_F(ViewsInShell, EveryReadoutOfEveryPageFitsItsBoxInBothLanguages)
{
    MainView* view = startWith(3);
    test.dns().addRecord(kBase + 1, "mail.example.org", 16);
    app->frame()->resize(960, 680);
    app->frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app->frame()));
    std::vector<orvane::FittedTextRecord> drawn;
    orvane::setFittedTextObserver([&drawn](const orvane::FittedTextRecord& r) { drawn.push_back(r); });
    // The panes show the widest figures of a tick, then the frame (or the pane) is painted.
    const auto paintWidest = [&](QWidget* widget) {
        view->refreshTick();
        emit view->ticks().published(widestTick(view->state()));
        drawn.clear();
        widget->grab();
    };
    for (auto language : {lumivex::config::Language::Chinese, lumivex::config::Language::English}) {
        app->frame()->menu()->languageItem(language)->trigger();
        const std::string in = language == lumivex::config::Language::English ? " (English)" : " (Chinese)";
        for (int page = 0; page < orvane::kPages; ++page) {
            QTest::keyClick(view->currentPage(), Qt::Key(Qt::Key_1 + page), Qt::ControlModifier);
            ASSERT_EQ(view->state().current, orvane::Page(page));
            paintWidest(app->frame());
            expectReadoutsFit(drawn, "page " + std::to_string(page) + in);
        }
        view->showDashboard(orvane::DashboardPage::Curves);
        paintWidest(app->frame());
        expectReadoutsFit(drawn, "dashboard curves" + in);

        // The detail pane beside the TCP list, following an address, and beside the chat list
        // with its note.
        QTest::keyClick(view->currentPage(), Qt::Key_1, Qt::ControlModifier);
        TrafficListPage* list = view->trafficList(kTrafficTcp);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Home);
        QTest::keyClick(list, Qt::Key_Return);
        ASSERT_TRUE(view->state().sidePanelOpen);
        paintWidest(view->detailPanel());
        expectReadoutsFit(drawn, "detail pane" + in);
        QTest::keyClick(view->currentPage(), Qt::Key_3, Qt::ControlModifier);
        ASSERT_TRUE(view->detailPanel()->isVisible());
        paintWidest(view->detailPanel());
        expectReadoutsFit(drawn, "detail pane of the chat list" + in);
        view->closeSidePanel();

        // The floating strip.
        paintWidest(app->frame()->floatingWindow());
        expectReadoutsFit(drawn, "floating strip" + in);
    }
    orvane::setFittedTextObserver({});
    app->frame()->grab().toImage().save(QStringLiteral(LUMIVEX_SHOT_DIR "/shell_widest_en.png"));
}

TEST_F(ViewsInShell, NoListShowsAHorizontalScrollBarWithTenThousandLongNamesInEitherLanguage)
{
    constexpr int kRows = 10000;
    const auto longName = [](int i) {
        return "edge-" + std::to_string(i) + ".eu-central-2.compute.static-content.delivery.example-cdn.net";
    };
    // Every address busy both ways in TCP and in UDP, named afterwards: half of them with a
    // chat program (the chat list takes addresses the DNS has not named yet), the other half
    // each with a program of a long name and path of its own, for the process list.
    XIPCounter::addICQProcessName("qq", "QQ");
    test.programs[7] = "/opt/qq/qq";
    for (int i = 0; i < kRows; ++i) {
        const std::uint32_t address = 0x0B000000u + std::uint32_t(i);
        const std::uint32_t pid = i % 2 == 0 ? 7 : 100000 + std::uint32_t(i);
        if (pid != 7) {
            test.programs[pid] = "/usr/lib/a-long-running-service/libexec/worker-" + std::to_string(i) + "-of-a-long-running-service";
            ORVANEPRO_NetIo io{};
            io.processId = pid;
            io.protocol = kNetIoTcp;
            io.remoteAddr = platform::hostToNet32(address);
            io.direction = kNetIoSend;
            io.bytesSent = 6000;
            test.processes().addNetData(io);
        }
        test.count(kTrafficTcp, address, 6000 + i, 1, 8000, pid);
        test.count(kTrafficTcp, address, 300, 0, 8000, pid);
        test.count(kTrafficUdp, address, 1000 + i, 1);
    }
    for (int i = 0; i < kRows; ++i) {
        const std::uint32_t address = 0x0B000000u + std::uint32_t(i);
        const std::string name = longName(i);
        test.dns().addRecord(address, name.c_str(), int(name.size()));
        XSocketRow socket;
        socket.remoteAddr = address;
        socket.localPort = 40000;
        socket.remotePort = 443;
        socket.state = 5;
        socket.pid = 4242;
        socket.program = "a-program-with-a-rather-long-name";
        socket.path = "/opt/vendor/a-program-with-a-rather-long-name/bin/a-program-with-a-rather-long-name";
        test.sockets.push_back(socket);
    }
    XIPCounter::clearICQProcessNames();
    ASSERT_TRUE(start());
    MainView* view = app->frame()->view();
    app->frame()->resize(960, 680);
    view->refreshTick();  // the process list's programs
    const std::vector<std::pair<orvane::Page, QAbstractItemView*>> lists = {
        {orvane::Page::TcpList, view->trafficList(kTrafficTcp)},
        {orvane::Page::UdpList, view->trafficList(kTrafficUdp)},
        {orvane::Page::ChatList, view->trafficList(kTrafficChat)},
        {orvane::Page::Ranking, view->rankingPage()->rankingList()},
        {orvane::Page::Ranking, view->processList()},
        {orvane::Page::Connections, view->connectionsPage()},
    };
    app->frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app->frame()));
    for (auto language : {lumivex::config::Language::Chinese, lumivex::config::Language::English}) {
        app->frame()->menu()->languageItem(language)->trigger();
        for (const auto& [page, list] : lists) {
            QTest::keyClick(view->currentPage(), Qt::Key(Qt::Key_1 + int(page)), Qt::ControlModifier);
            ASSERT_EQ(view->state().current, page);
            QApplication::processEvents();
            const std::string where = std::to_string(int(page)) + (language == lumivex::config::Language::English ? " en" : " zh");
            EXPECT_GE(list->model()->rowCount(), 10) << where;
            EXPECT_TRUE(list->isVisible()) << where;
            EXPECT_FALSE(list->horizontalScrollBar()->isVisible()) << where;
        }
    }
    app->frame()->grab().toImage().save(QStringLiteral(LUMIVEX_SHOT_DIR "/shell_long_lists_en.png"));
}

TEST_F(ViewsInShell, ScrollBarsWearTheSkin)
{
    MainView* view = startWith(200);
    app->frame()->resize(960, 680);
    TrafficListPage* list = view->trafficList(kTrafficTcp);
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    const QImage image = bar->grab().toImage();
    app->frame()->grab().toImage().save(QStringLiteral(LUMIVEX_SHOT_DIR "/shell_scroll_bar.png"));
    // At the top of the list: the handle in the frame's dark green, the groove below it dark.
    EXPECT_TRUE(colourNear(image.pixelColor(image.width() / 2, 10), QColor(0, 98, 8)));
    EXPECT_TRUE(colourNear(image.pixelColor(image.width() / 2, image.height() - 5), QColor(20, 28, 25)));
    EXPECT_LE(image.width(), 12);
}
