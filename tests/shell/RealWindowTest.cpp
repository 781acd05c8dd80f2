// The real orvane on a private X display (Xvfb): its window found, photographed and checked,
// driven with the pointer (xdotool), with and without a system tray (trayer), ended with
// SIGTERM.
#include "TestNetwork.h"
#include "XServer.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

constexpr QSize kFrameSize(960, 680);
constexpr int kBorder = 4;
const QColor kOuterBorder(0, 156, 12);
const QColor kInnerBorder(0, 98, 8);
const QColor kTitleBar(95, 96, 96);

bool copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + '/' + entry.fileName();
        if (entry.isDir() ? !copyFolder(entry.filePath(), target) : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (!x.start(why))
            GTEST_SKIP() << why.toStdString();
        // A copy of the program with its own data folder, so that its user.ini is the test's.
        ASSERT_TRUE(m_dir.isValid());
        program = m_dir.filePath("orvane");
        ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_PATH), program));
        ASSERT_TRUE(copyFolder(QStringLiteral(LUMIVEX_DAT_DIR), m_dir.filePath("dat")));
        writeUserIni("menu_updatelist_status=1\n\nmemu_float_staus=0\n");
        QDir().mkpath(m_dir.filePath("runtime"));
        QFile::setPermissions(m_dir.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void TearDown() override
    {
        for (QProcess* p : {&orvane, &second, &tray}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(2000);
            }
        }
    }

    void writeUserIni(const QByteArray& content)
    {
        QFile file(m_dir.filePath("dat/user.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    QByteArray userIni() const
    {
        QFile file(m_dir.filePath("dat/user.ini"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QProcessEnvironment programEnvironment() const
    {
        QProcessEnvironment env = x.environment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath("runtime"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath("config"));
        // The window records its history there, not in the tester's own.
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath("data"));
        // For a sanitizer build: the session-bus library's own lifetime allocations.
        QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
        lsan += QStringLiteral("%1suppressions=%2").arg(lsan.isEmpty() ? "" : ":", QStringLiteral(LSAN_SUPPRESSIONS));
        env.insert(QStringLiteral("LSAN_OPTIONS"), lsan);
        return env;
    }

    void startTray()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
            GTEST_SKIP() << "trayer is not installed (scripts/setup.sh installs it)";
        tray.setProcessEnvironment(x.environment());
        tray.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                              QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                                              QStringLiteral("--height"), QStringLiteral("24"), QStringLiteral("--transparent"),
                                              QStringLiteral("false")});
        ASSERT_TRUE(waitUntil([&] { return !x.windowsNamed(QStringLiteral("^panel$")).isEmpty(); }, 10000));
    }

    void startProgram(QProcess& process)
    {
        process.setProcessEnvironment(programEnvironment());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, {});
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    // The main window: the program's 960 x 680 window.
    XServer::Window frame() const
    {
        for (const XServer::Window& w : x.windowsNamed(QStringLiteral("^Lumivex$"))) {
            if (w.geometry.size() == kFrameSize)
                return w;
        }
        return {};
    }

    bool frameViewable() const { return frame().viewable; }

    QPoint closeButtonCentre(const XServer::Window& w) const
    {
        // The close button: 24 x 18, 10 pixels from the title bar's right end, centred in it.
        const int titleWidth = w.geometry.width() - 2 * kBorder;
        return w.geometry.topLeft() + QPoint(kBorder + titleWidth - 10 - 12, kBorder + 12);
    }

    // SIGTERM; the program must end normally within 3 seconds with every thread joined.
    void terminateAndCheck(QProcess& process)
    {
        process.terminate();
        ASSERT_TRUE(process.waitForFinished(3000)) << "still running 3 s after SIGTERM";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        const QString log = output(process);
        EXPECT_TRUE(log.contains(QStringLiteral("termination requested"))) << log.toStdString();
        // Written after the engine's stop() joined every engine thread.
        EXPECT_TRUE(log.contains(QStringLiteral("shut down after"))) << log.toStdString();
        // Nothing changed: the file is as the user left it, blank line and all.
        EXPECT_EQ(userIni(), QByteArray("menu_updatelist_status=1\n\nmemu_float_staus=0\n"));
    }

    // Everything the process printed so far (kept for later checks).
    QString output(QProcess& process)
    {
        process.waitForReadyRead(100);
        m_output += QString::fromLocal8Bit(process.readAll());
        return m_output;
    }

    XServer x;
    QString m_output;
    QTemporaryDir m_dir;
    QString program;
    QProcess orvane;
    QProcess second;
    QProcess tray;
};

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
