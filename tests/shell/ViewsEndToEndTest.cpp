// The window program against real traffic (root): a test host in a network namespace with a
// TCP server and a DNS responder, real client programs here, the system engine started by the
// program. The TCP list shows the host with its program, DNS name and location, the detail
// pane's curves rise while the client sends, and the connections page lists the open
// connection with its state and owner.
#include "ShellFixture.h"

#include "TestNetwork.h"
#include "capengine/XEngine.h"
#include "config/ConfigStore.h"
#include "monitor/connections/ConnectionsPage.h"
#include "shell/MainFrame.h"
#include "shell/MainView.h"
#include "views/TabStrip.h"
#include "views/detail/IpDetailPane.h"
#include "views/lists/TrafficListPage.h"
#include "views/lists/TrafficListModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kTcpPort = 7401;
constexpr int kClosedPort = 7499;
constexpr char kQueryName[] = "www.lumivex-views.example";
constexpr char kCanonicalName[] = "edge.lumivex-views.example";

void runEventLoop(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Polls pred while the program's event loop (and its timer) runs, up to timeoutMs.
template <typename Pred>
bool waitInLoop(Pred pred, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void touchClosedPort(const std::string& address)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = TestNetwork::netOrder(address);
    to.sin_port = htons(kClosedPort);
    const int tcp = socket(AF_INET, SOCK_STREAM, 0);
    connect(tcp, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(tcp);
}

std::vector<uint8_t> dnsQuery(const std::string& name)
{
    std::vector<uint8_t> q = {0x5a, 0x17, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0};
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t dot = name.find('.', start);
        if (dot == std::string::npos)
            dot = name.size();
        q.push_back(uint8_t(dot - start));
        q.insert(q.end(), name.begin() + long(start), name.begin() + long(dot));
        start = dot + 1;
    }
    q.insert(q.end(), {0, 0, 1, 0, 1});
    return q;
}

bool askDns(const TestNetwork& net)
{
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    timeval tv{2, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = net.peerAddrNetOrder();
    to.sin_port = htons(53);
    const std::vector<uint8_t> q = dnsQuery(kQueryName);
    sendto(s, q.data(), q.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    char reply[512];
    const ssize_t n = recv(s, reply, sizeof reply, 0);
    close(s);
    return n > 0;
}

class ViewsEndToEnd : public ShellFixture {};

} // namespace

TEST_F(ViewsEndToEnd, ListsPaneAndConnectionsShowTheTestHost)
{
    TestNetwork net;
    std::string why;
    if (!net.create(why))
        GTEST_SKIP() << why;
    const std::string peer = peerProgram();
    ASSERT_GT(net.spawnInside({peer, "tcp-server", std::to_string(kTcpPort), "50000"}), 0);
    ASSERT_GT(net.spawnInside({peer, "dns-server", net.peerAddr(), kCanonicalName}), 0);

    installShippedSkin();
    for (const char* file : {"ication.dat", "ipanother.txt", "ptdescr.dat"})
        QFile::copy(QStringLiteral(LUMIVEX_DAT_DIR) + file, dataDir() + file);
    writeDataFile("user.ini", "menu_updatelist_status=1\n");
    lumivex::config::ConfigStore::instanceAt(dataDir().toStdString(), "");
    orvane::ShellOptions options;
    options.arguments = QStringList{QStringLiteral("orvane")};
    options.lockPath = lockPath().toStdString();
    options.autostart = orvane::AutostartEntry(autostartDir(), QStringLiteral("orvane -h"));
    options.trayAvailable = [] { return true; };
    options.notices = &notices;
    // The window records what it captures: into the test's folder, not the tester's history.
    qputenv("XDG_DATA_HOME", QFileInfo(lockPath()).absolutePath().toLocal8Bit());
    app = std::make_unique<orvane::OrvaneApp>(std::move(options));  // the system engine
    ASSERT_TRUE(app->start());
    XEngine& engine = *app->engine();
    ASSERT_TRUE(engine.isRunning());
    orvane::MainFrame* frame = app->frame();
    frame->resize(orvane::MainFrame::kInitialSize);
    orvane::MainView* view = frame->view();

    ASSERT_TRUE(waitInLoop([&] {
        touchClosedPort(net.spareAddr());
        return engine.totals(kTrafficTcp).exists;
    }, 10000)) << engine.eventSource();
    ASSERT_TRUE(askDns(net)) << "the DNS responder did not answer";
    const std::uint32_t host = ntohl(net.peerAddrNetOrder());
    ASSERT_TRUE(waitInLoop([&] { return !engine.dnsName(host).empty(); }, 10000));

    const pid_t first = net.spawnHere({peer, "tcp-client", net.peerAddr(), std::to_string(kTcpPort), "200000", "300"});
    ASSERT_EQ(net.waitExit(first, 10000), 0);

    // The TCP list, refreshed by the program's own cycle, shows the host.
    orvane::TrafficListPage* list = view->trafficList(kTrafficTcp);
    orvane::TrafficListModel* rows = list->listModel();
    const auto cell = [&](int column) { return rows->index(rows->rowOf(host), column).data().toString(); };
    ASSERT_TRUE(waitInLoop([&] { return rows->rowOf(host) >= 0 && cell(7) == " e2e_peer"; }, 10000))
        << "rows " << rows->rowCount() << ", program '" << cell(7).toStdString() << "'";
    EXPECT_EQ(cell(0), " " + QString::fromStdString(net.peerAddr()));
    EXPECT_EQ(cell(2), kCanonicalName);
    EXPECT_EQ(cell(3), QStringLiteral("局域网"));
    EXPECT_EQ(cell(1), QString::number(kTcpPort));

    // Click and double-click the host's row: the pane follows it; a client sending while the
    // pane samples makes its curves rise.
    list->scrollTo(rows->index(rows->rowOf(host), 0));
    const QRect rowRect = list->visualRect(rows->index(rows->rowOf(host), 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowRect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowRect.center());
    ASSERT_TRUE(view->state().sidePanelOpen);
    orvane::IpDetailPane* pane = view->detailPanel();
    ASSERT_EQ(pane->tracker().tracked(kTrafficTcp).address, host);
    runEventLoop(2500);
    const pid_t second = net.spawnHere({peer, "tcp-client", net.peerAddr(), std::to_string(kTcpPort), "3000000", "8000"});
    ASSERT_GT(second, 0);
    const auto highest = [&] {
        const orvane::ChartRing& ring = pane->curve(kTrafficTcp, 0).ring();
        double top = 0;
        for (int i = 0; i < ring.writeIndex(); ++i)
            top = std::max(top, ring.at(i));
        return top;
    };
    EXPECT_TRUE(waitInLoop([&] { return highest() > 100000; }, 6000)) << "highest total rate " << highest();
    frame->grab().toImage().save(QStringLiteral(LUMIVEX_SHOT_DIR "/e2e_tcp_list.png"));

    // The connections page, brought on show while the client still holds its connection.
    orvane::TabStrip* tabs = view->tabStrip();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(4).center());
    ASSERT_EQ(view->currentPage(), view->connectionsPage());
    auto* connections = view->connectionsPage()->connectionsModel();
    const QString remote = QString::fromStdString(net.peerAddr()) + ":" + QString::number(kTcpPort);
    int found = -1;
    for (int r = 0; r < connections->rowCount(); ++r)
        if (connections->index(r, 3).data().toString() == remote && connections->index(r, 4).data().toString() == "ESTABLISHED")
            found = r;
    ASSERT_GE(found, 0) << connections->rowCount() << " rows, none to " << remote.toStdString();
    EXPECT_EQ(connections->index(found, 0).data().toString(), "    TCP");
    EXPECT_EQ(connections->index(found, 1).data().toString(), "e2e_peer");
    EXPECT_EQ(connections->index(found, 7).data().toString(), QString::number(second));
    EXPECT_EQ(connections->index(found, 8).data().toString(), kCanonicalName);
    // Opened while the program ran: it has a start time, seconds ago.
    EXPECT_FALSE(connections->index(found, 5).data().toString().isEmpty());
    EXPECT_TRUE(connections->index(found, 6).data().toString().startsWith(" 00:00:")) << connections->index(found, 6).data().toString().toStdString();
    frame->grab().toImage().save(QStringLiteral(LUMIVEX_SHOT_DIR "/e2e_connections.png"));
    net.waitExit(second, 15000);
}
