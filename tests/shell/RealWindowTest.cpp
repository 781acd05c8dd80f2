// The real orvane on a private X display (Xvfb): its window found, photographed and checked,
// driven with the pointer (xdotool), with and without a system tray (trayer), ended with
// SIGTERM.
#include "RealWindowFixture.h"
#include "TestNetwork.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QColor kOuterBorder(0, 156, 12);
const QColor kInnerBorder(0, 98, 8);
const QColor kTitleBar(95, 96, 96);

} // namespace

TEST_F(RealWindow, PaintsItsFrameHidesToTheTrayAndComesBack)
{
    startTray();
    startProgram(orvane);
    ASSERT_TRUE(waitUntil([&] { return frameViewable(); }, 15000)) << "no 960 x 680 window appeared";
    const XServer::Window w = frame();
    // Wait for the tray icon to sit in the strip before the screenshot.
    waitUntil([&] {
        for (const XServer::Window& icon : x.windowsOfClass(QStringLiteral("^orvane$")))
            if (icon.geometry.width() <= 32 && icon.viewable)
                return true;
        return false;
    }, 10000);
    QThread::msleep(1500);  // a refresh tick or two

    const QString shot = QStringLiteral(SCREENSHOT_PATH);
    ASSERT_TRUE(x.screenshot(shot));
    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    const QRect g = w.geometry;
    auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 && std::abs(a.blue() - b.blue()) <= 2;
    };
    EXPECT_TRUE(near(image.pixelColor(g.left(), g.center().y()), kOuterBorder));
    EXPECT_TRUE(near(image.pixelColor(g.right(), g.center().y()), kOuterBorder));
    EXPECT_TRUE(near(image.pixelColor(g.center().x(), g.bottom()), kOuterBorder));
    EXPECT_TRUE(near(image.pixelColor(g.left() + 2, g.center().y()), kInnerBorder));
    EXPECT_TRUE(near(image.pixelColor(g.left() + 300, g.top() + kBorder + 2), kTitleBar));
    EXPECT_TRUE(near(image.pixelColor(g.left() + 1, g.top() - 1), Qt::black));  // outside: the bare root window

    // The close button hides the window into the tray; the program lives on.
    x.click(closeButtonCentre(w));
    ASSERT_TRUE(waitUntil([&] { return !frameViewable(); }, 5000)) << "the close button did not hide the window";
    QThread::msleep(300);
    EXPECT_EQ(orvane.state(), QProcess::Running);

    // A click on the tray icon brings it back.
    XServer::Window icon;
    for (const XServer::Window& candidate : x.windowsOfClass(QStringLiteral("^orvane$")))
        if (candidate.geometry.width() <= 32 && candidate.viewable)
            icon = candidate;
    ASSERT_FALSE(icon.id.isEmpty()) << "no tray icon in the strip";
    x.click(icon.geometry.center());
    ASSERT_TRUE(waitUntil([&] { return frameViewable(); }, 5000)) << "the tray icon did not bring the window back";

    terminateAndCheck(orvane);
}

TEST_F(RealWindow, WithoutATrayTheCloseButtonKeepsTheWindowReachable)
{
    startProgram(orvane);
    ASSERT_TRUE(waitUntil([&] { return frameViewable(); }, 15000));
    x.click(closeButtonCentre(frame()));
    QThread::msleep(800);
    // No window manager to iconify it either: the window stays where it was, never unmapped.
    EXPECT_TRUE(frameViewable());
    EXPECT_EQ(orvane.state(), QProcess::Running);
    terminateAndCheck(orvane);
    EXPECT_TRUE(m_output.contains(QStringLiteral("no system tray"))) << m_output.toStdString();
}

TEST_F(RealWindow, SecondCopyWarnsAndEndsWhileTheFirstRunsOn)
{
    startProgram(orvane);
    ASSERT_TRUE(waitUntil([&] { return frameViewable(); }, 15000));
    startProgram(second);
    // The second copy's warning box: a small window named after the product.
    XServer::Window box;
    ASSERT_TRUE(waitUntil([&] {
        for (const XServer::Window& w : x.windowsNamed(QStringLiteral("^Lumivex$")))
            if (w.viewable && w.geometry.size() != kFrameSize && w.geometry.width() > 100)
                box = w;
        return !box.id.isEmpty();
    }, 15000)) << "no warning box";
    x.run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), box.id});
    x.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(second.waitForFinished(5000)) << "the second copy did not end after OK";
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(orvane.state(), QProcess::Running);
    EXPECT_TRUE(frameViewable());
    terminateAndCheck(orvane);
}

TEST_F(RealWindow, RecordsItsHistoryWhileAConsoleRunAlongsideLeavesItsCountsOut)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "the window records what it captures: needs root";
    // Known bytes to a test host: 40 datagrams of 972 bytes echoed, 40 000 bytes at the IP
    // level each way.
    TestNetwork net;
    std::string why;
    if (!net.create(why))
        GTEST_SKIP() << "no test network: " << why;
    ASSERT_GT(net.spawnInside({peerProgram(), "udp-echo", "7431"}), 0);
    const QString sender = m_dir.filePath(QStringLiteral("lvx-win-udp"));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(peerProgram()), sender));

    const QString db = m_dir.filePath("data/lumivex/history.sqlite");
    startProgram(orvane);
    ASSERT_TRUE(waitUntil([&] { return frameViewable() && QFile::exists(db); }, 15000)) << output(orvane).toStdString();
    // A console run on the window's file while the window records, the exchange amid it.
    QProcess console;
    console.setProcessChannelMode(QProcess::MergedChannels);
    console.start(QStringLiteral(LUMIVEX_PATH), {QStringLiteral("--seconds"), QStringLiteral("3"), QStringLiteral("--json"),
                                                 QStringLiteral("--history"), db});
    QThread::msleep(1000);
    const pid_t client = net.spawnHere({sender.toStdString(), "udp-client", net.peerAddr(), "7431", "972", "40", "0"});
    net.readOutput(client, 10000);
    EXPECT_EQ(net.waitExit(client, 10000), 0);
    ASSERT_TRUE(console.waitForFinished(15000));
    const QString said = QString::fromLocal8Bit(console.readAll());
    EXPECT_EQ(console.exitCode(), 0) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("\"state\": \"another process records\""))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("is recorded by another Lumivex process"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("\"program\": \"lvx-win-udp\""))) << "the console saw the exchange too";
    terminateAndCheck(orvane);
    EXPECT_TRUE(output(orvane).contains(QStringLiteral("history stopped (recording, ") + db)) << output(orvane).toStdString();

    // The history holds the exchange once: the window's counts, none of the console's.
    QProcess history;
    history.start(QStringLiteral(LUMIVEX_PATH), {QStringLiteral("history"), QStringLiteral("--json"), QStringLiteral("--since"),
                                                 QStringLiteral("1h"), QStringLiteral("--history"), db,
                                                 QStringLiteral("--program"), QStringLiteral("lvx-win-udp")});
    ASSERT_TRUE(history.waitForFinished(10000));
    const QString rows = QString::fromUtf8(history.readAllStandardOutput());
    const QRegularExpressionMatch total = QRegularExpression(QStringLiteral("\"total\": (\\d+)")).match(rows);
    ASSERT_TRUE(total.hasMatch()) << rows.toStdString();
    EXPECT_NEAR(total.captured(1).toDouble(), 80000, 800) << rows.toStdString();
}
