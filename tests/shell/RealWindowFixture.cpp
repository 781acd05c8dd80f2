#include "RealWindowFixture.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>


void RealWindow::SetUp()
{
    QString why;
    if (!x.start(why))
        GTEST_SKIP() << why.toStdString();
    // A copy of the program with its own data folder, so that its user.ini is the test's.
    ASSERT_TRUE(m_dir.isValid());
    program = m_dir.filePath("orvane");
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_PATH), program));
    std::error_code failed;
    std::filesystem::copy(LUMIVEX_DAT_DIR, m_dir.filePath("dat").toStdString(), std::filesystem::copy_options::recursive,
                          failed);
    ASSERT_FALSE(failed) << failed.message();
    writeUserIni("menu_updatelist_status=1\n\nmemu_float_staus=0\n");
    QDir().mkpath(m_dir.filePath("runtime"));
    QFile::setPermissions(m_dir.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void RealWindow::TearDown()
{
    for (QProcess* p : {&orvane, &second, &tray}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(2000);
        }
    }
}

void RealWindow::writeUserIni(const QByteArray& content)
{
    QFile file(m_dir.filePath("dat/user.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray RealWindow::userIni() const
{
    QFile file(m_dir.filePath("dat/user.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QProcessEnvironment RealWindow::programEnvironment() const
{
    QProcessEnvironment env = x.environment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath("runtime"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath("config"));
    // The window records its history there, not in the tester's own.
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath("data"));
    if (!locale.isEmpty()) {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("LANG"), locale);
    }
    // For a sanitizer build: the session-bus library's own lifetime allocations.
    QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
    lsan += QStringLiteral("%1suppressions=%2").arg(lsan.isEmpty() ? "" : ":", QStringLiteral(LSAN_SUPPRESSIONS));
    env.insert(QStringLiteral("LSAN_OPTIONS"), lsan);
    return env;
}

void RealWindow::startTray()
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

void RealWindow::startProgram(QProcess& process)
{
    process.setProcessEnvironment(programEnvironment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {});
    ASSERT_TRUE(process.waitForStarted(5000));
}

XServer::Window RealWindow::frame() const
{
    for (const XServer::Window& w : x.windowsNamed(QStringLiteral("^Lumivex$"))) {
        if (w.geometry.size() == kFrameSize)
            return w;
    }
    return {};
}

QPoint RealWindow::closeButtonCentre(const XServer::Window& w) const
{
    // The close button: 24 x 18, 10 pixels from the title bar's right end, centred in it.
    const int titleWidth = w.geometry.width() - 2 * kBorder;
    return w.geometry.topLeft() + QPoint(kBorder + titleWidth - 10 - 12, kBorder + 12);
}

void RealWindow::terminateAndCheck(QProcess& process)
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

QString RealWindow::output(QProcess& process)
{
    process.waitForReadyRead(100);
    m_output += QString::fromLocal8Bit(process.readAll());
    return m_output;
}
