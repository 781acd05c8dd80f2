// The whole program against real traffic (root): a test host in a network namespace, the
// system engine started by the program itself, and the status bar's painted totals compared
// with the engine's own.
#include "ShellFixture.h"

#include "TestNetwork.h"
#include "capengine/XEngine.h"
#include "config/ConfigStore.h"
#include "shell/MainFrame.h"
#include "shell/MainView.h"
#include "core/ValueFormat.h"
#include "views/StatusBar.h"
#include "views/lists/TrafficListPage.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kTcpPort = 7301;
constexpr int kUdpPort = 7302;
constexpr int kClosedPort = 7399;

// Runs the program's event loop (its one-second timer included) for ms milliseconds.
void runEventLoop(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// One datagram and one refused connection to a closed port: warms up both protocols.
void touchClosedPort(const std::string& address)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = TestNetwork::netOrder(address);
    to.sin_port = htons(kClosedPort);
    const int udp = socket(AF_INET, SOCK_DGRAM, 0);
    sendto(udp, "w", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(udp);
    const int tcp = socket(AF_INET, SOCK_STREAM, 0);
    connect(tcp, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(tcp);
}

class StatusBarEndToEnd : public ShellFixture {
protected:
    // The status bar's six values as the engine's totals say they must read.
    static QStringList expectedCells(XEngine& engine)
    {
        const XTrafficTotals tcp = engine.totals(kTrafficTcp);
        const XTrafficTotals udp = engine.totals(kTrafficUdp);
        auto text = [](double value) { return QString::fromStdString(orvane::formatValue(value, orvane::ValueUse::StatusTotal).text); };
        return {text(tcp.bytes[1] + udp.bytes[1]),   text(tcp.packets[1] + udp.packets[1]), QString::number(tcp.addresses),
                text(tcp.bytes[0] + udp.bytes[0]),   text(tcp.packets[0] + udp.packets[0]), QString::number(udp.addresses)};
    }

    static QStringList paintedCells(const orvane::StatusBar& bar)
    {
        QStringList cells;
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 3; ++column)
                cells << bar.paintedValue(row, column);
        return cells;
    }
};

} // namespace

TEST_F(StatusBarEndToEnd, PaintedTotalsMatchTheEngine)
{
    TestNetwork net;
    std::string why;
    if (!net.create(why))
        GTEST_SKIP() << why;
    const std::string peer = peerProgram();
    ASSERT_GT(net.spawnInside({peer, "tcp-server", std::to_string(kTcpPort), "50000"}), 0);
    ASSERT_GT(net.spawnInside({peer, "udp-echo", std::to_string(kUdpPort)}), 0);

    installShippedSkin();
    for (const char* file : {"ication.dat", "ipanother.txt", "ptdescr.dat"})  // locations and port names
        QFile::copy(QStringLiteral(LUMIVEX_DAT_DIR) + file, dataDir() + file);
    // Automatic list refresh on, as a user who wants the list to follow the traffic has it:
    // the screenshot shows the test host's rows.
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

    // The first event of each protocol opens the engine's start gate; then real traffic.
    ASSERT_TRUE(waitFor([&] {
        touchClosedPort(net.spareAddr());
        QCoreApplication::processEvents();
        return engine.totals(kTrafficTcp).exists && engine.totals(kTrafficUdp).exists;
    }, 10000)) << engine.eventSource();
    const pid_t tcp = net.spawnHere({peer, "tcp-client", net.peerAddr(), std::to_string(kTcpPort), "200000", "300"});
    const pid_t udp = net.spawnHere({peer, "udp-client", net.peerAddr(), std::to_string(kUdpPort), "500", "20", "300"});
    ASSERT_EQ(net.waitExit(tcp, 10000), 0);
    ASSERT_EQ(net.waitExit(udp, 10000), 0);
    runEventLoop(3000);  // the program's own ticks paint the totals

    orvane::MainFrame* frame = app->frame();
    frame->resize(orvane::MainFrame::kInitialSize);
    orvane::StatusBar* bar = frame->view()->statusBar();
    EXPECT_GE(engine.totals(kTrafficTcp).bytes[1], 200000.0);
    EXPECT_GE(engine.totals(kTrafficUdp).packets[0], 20.0);
    // Other traffic of this machine may still arrive: compare a tick's painting with the
    // engine read right after it, until both agree.
    QStringList painted, expected;
    const bool agree = waitFor([&] {
        frame->view()->refreshTick();
        frame->grab();
        painted = paintedCells(*bar);
        expected = expectedCells(engine);
        return painted == expected;
    }, 5000);
    EXPECT_TRUE(agree) << "painted " << painted.join('|').toStdString() << ", engine " << expected.join('|').toStdString();
    EXPECT_NE(painted.value(0).trimmed(), QStringLiteral("0"));
    EXPECT_GT(frame->view()->trafficList(kTrafficTcp)->itemCount(), 0);

    const QImage shot = frame->grab().toImage();
    shot.save(QStringLiteral(E2E_SCREENSHOT_PATH));
}
