// The program's behaviour driven through its widgets on the offscreen platform.
#include "ShellFixture.h"

#include "platform/InstanceLock.h"
#include "shell/MainFrame.h"
#include "shell/MainView.h"
#include "shell/ProgramMenu.h"
#include "views/LanguageSwitch.h"
#include "views/floating/FloatWindow.h"
#include "views/StatusBar.h"
#include "views/TabStrip.h"
#include "views/TitleBar.h"
#include "views/lists/TrafficListPage.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <QDir>

#include <csignal>
#include <sys/stat.h>

using orvane::MainFrame;
using orvane::Page;
using orvane::TitleBar;

namespace {

class ShellBehaviour : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        installShippedSkin();
        writeDataFile("user.ini", "memu_float_staus=1\nmenu_updatelist_status=1\n");
    }

    MainFrame* frame() const { return app->frame(); }
    void clickTitleButton(TitleBar::Button button)
    {
        TitleBar* bar = frame()->view()->titleBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->buttonRect(button).center());
    }
};

} // namespace

TEST_F(ShellBehaviour, TabClickSwitchesThePageAndTheGapChangesNothing)
{
    ASSERT_TRUE(start());
    orvane::MainView* view = frame()->view();
    orvane::TabStrip* tabs = view->tabStrip();
    QSignalSpy clicked(tabs, &orvane::TabStrip::tabClicked);
    test.count(kTrafficUdp, 0x0A000001, 64, 0);

    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(tabs->current(), 1);
    EXPECT_EQ(view->state().current, Page::UdpList);
    EXPECT_TRUE(view->trafficList(kTrafficUdp)->isVisibleTo(frame()));
    EXPECT_FALSE(view->trafficList(kTrafficTcp)->isVisibleTo(frame()));
    EXPECT_EQ(view->trafficList(kTrafficUdp)->itemCount(), 1);  // brought on show with a full refresh

    const QRect first = tabs->tabRect(0);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, QPoint(first.right() + 3, first.center().y()));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, QPoint(first.center().x(), first.bottom() + 2));
    EXPECT_EQ(tabs->current(), 1);
    EXPECT_EQ(view->state().current, Page::UdpList);
    EXPECT_EQ(clicked.count(), 1);

    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
    EXPECT_EQ(view->state().current, Page::Ranking);
    EXPECT_TRUE(view->currentPage()->isVisibleTo(frame()));
}

TEST_F(ShellBehaviour, CloseButtonHidesToTheTrayAndTheTrayBringsItBack)
{
    ASSERT_TRUE(start());
    ASSERT_TRUE(frame()->isVisible());
    clickTitleButton(TitleBar::CloseButton);
    EXPECT_FALSE(frame()->isVisible());
    EXPECT_EQ(frame()->state(), MainFrame::State::InTray);
    EXPECT_FALSE(frame()->exitRequested());
    EXPECT_TRUE(frame()->floatingWindow()->isVisible());  // switched on in user.ini
    EXPECT_FALSE(frame()->view()->state().shown);

    frame()->menu()->showMain()->trigger();
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_EQ(frame()->state(), MainFrame::State::Shown);
    EXPECT_FALSE(frame()->floatingWindow()->isVisible());
    EXPECT_TRUE(frame()->view()->state().shown);

    clickTitleButton(TitleBar::MinimizeButton);
    EXPECT_FALSE(frame()->isVisible());
}

TEST_F(ShellBehaviour, WithoutATrayCloseMinimisesToTheTaskbar)
{
    trayAvailable = false;
    ASSERT_TRUE(start());
    clickTitleButton(TitleBar::CloseButton);
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_TRUE(frame()->windowState() & Qt::WindowMinimized);
    EXPECT_EQ(frame()->state(), MainFrame::State::InTray);
    // The floating strip offers the menu, Exit included.
    QSignalSpy menuAsked(frame()->floatingWindow(), &orvane::FloatWindow::menuRequested);
    QTest::mouseClick(frame()->floatingWindow(), Qt::RightButton);
    EXPECT_EQ(menuAsked.count(), 1);
    frame()->menu()->hide();
    frame()->showFromTray();
    EXPECT_FALSE(frame()->windowState() & Qt::WindowMinimized);
}

TEST_F(ShellBehaviour, MaximiseFillsTheWorkAreaAndRestoreGoesBack)
{
    ASSERT_TRUE(start());
    const QRect normal = frame()->geometry();
    clickTitleButton(TitleBar::MaximizeButton);
    EXPECT_TRUE(frame()->maximized());
    EXPECT_EQ(frame()->geometry(), frame()->screen()->availableGeometry());
    TitleBar* bar = frame()->view()->titleBar();
    QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() / 2));
    EXPECT_FALSE(frame()->maximized());
    EXPECT_EQ(frame()->geometry(), normal);
}

TEST_F(ShellBehaviour, DraggingTheTitleBarMovesTheFrame)
{
    ASSERT_TRUE(start());
    TitleBar* bar = frame()->view()->titleBar();
    const QPoint before = frame()->pos();
    const QPoint grip(300, 12);
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    // One move: QTest derives global positions from the (moving) widget.
    QTest::mouseMove(bar, grip + QPoint(40, 30));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grip + QPoint(40, 30));
    // Offscreen there is no system move: the frame follows the pointer itself.
    EXPECT_EQ(frame()->pos(), before + QPoint(40, 30));
    EXPECT_FALSE(frame()->maximized());
}

TEST_F(ShellBehaviour, MenuSwitchesAreInUserIniAfterExit)
{
    ASSERT_TRUE(start());
    orvane::ProgramMenu* menu = frame()->menu();
    EXPECT_TRUE(menu->floating()->isChecked());
    EXPECT_TRUE(menu->autoRefresh()->isChecked());
    menu->autoRefresh()->trigger();
    EXPECT_FALSE(frame()->view()->state().autoRefresh);
    menu->floating()->trigger();
    menu->floating()->trigger();
    menu->floating()->trigger();

    QSignalSpy exited(frame(), &MainFrame::exitConfirmed);
    menu->exit()->trigger();
    EXPECT_EQ(exited.count(), 1);
    app->shutdown();
    EXPECT_EQ(readDataFile("user.ini"), QByteArray("memu_float_staus=0\nmenu_updatelist_status=0\n"));
}

TEST_F(ShellBehaviour, AutostartItemWritesAndRemovesTheEntry)
{
    ASSERT_TRUE(start());
    QAction* item = frame()->menu()->autostart();
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    QFile entry(autostartDir() + "/orvane.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=/opt/lumivex/bin/orvane -h\n"));
    entry.close();
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(entry.exists());
}

TEST_F(ShellBehaviour, AutostartItemIsGreyedWhenTheEntryCannotBeWritten)
{
    // A folder below a plain file cannot be made, even by root.
    writeDataFile("plain", "x");
    autostartFolder = dataDir() + "plain/autostart";
    ASSERT_TRUE(start());
    EXPECT_FALSE(frame()->menu()->autostart()->isEnabled());
}

TEST_F(ShellBehaviour, SecondCopyIsRefusedAndLeavesTheFirstAlone)
{
    platform::InstanceLock first;
    ASSERT_EQ(first.acquire(lockPath().toStdString()), platform::InstanceLock::Result::Acquired);
    EXPECT_FALSE(start());
    ASSERT_EQ(notices.refusals.size(), 1);
    EXPECT_EQ(notices.refusals[0], QStringLiteral("不能同时运行多个Lumivex，点击“确定”按钮退出。"));
    EXPECT_EQ(app->frame(), nullptr);
    EXPECT_EQ(app->model(), nullptr);
    app->shutdown();
    EXPECT_TRUE(first.held());
    // The refused copy wrote nothing.
    EXPECT_EQ(readDataFile("user.ini"), QByteArray("memu_float_staus=1\nmenu_updatelist_status=1\n"));
    platform::InstanceLock again;
    EXPECT_EQ(again.acquire(lockPath().toStdString()), platform::InstanceLock::Result::HeldElsewhere);
}

TEST_F(ShellBehaviour, HiddenStartStaysInTheTray)
{
    arguments << QStringLiteral("-h");
    ASSERT_TRUE(start());
    EXPECT_FALSE(frame()->isVisible());
    EXPECT_EQ(frame()->state(), MainFrame::State::InTray);
    EXPECT_TRUE(frame()->floatingWindow()->isVisible());
    EXPECT_TRUE(frame()->view()->timerRunning());  // the strip and the engine's sampling go on
    frame()->showFromTray();
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_EQ(frame()->size(), MainFrame::kInitialSize.boundedTo(frame()->screen()->availableGeometry().size()));
}

TEST_F(ShellBehaviour, UnprivilegedStartWarnsAndRuns)
{
    privileged = false;
    ASSERT_TRUE(start());
    ASSERT_GE(notices.warnings.size(), 1);  // the location files are missing here: a second one
    EXPECT_TRUE(notices.warnings[0].contains(QStringLiteral("计算机管理员")));
    EXPECT_TRUE(frame()->isVisible());
}

TEST_F(ShellBehaviour, SecondCopyBringsTheFirstWindowUp)
{
    arguments << QStringLiteral("-h");
    ASSERT_TRUE(start());
    EXPECT_FALSE(frame()->isVisible());

    RecordingNotices secondNotices;
    orvane::ShellOptions options;
    options.arguments = QStringList{QStringLiteral("orvane")};
    options.lockPath = lockPath().toStdString();
    options.privileged = [] { return true; };
    options.notices = &secondNotices;
    orvane::OrvaneApp second(std::move(options), &test.engine());
    EXPECT_FALSE(second.start());
    EXPECT_EQ(secondNotices.refusals.size(), 1);
    for (int waited = 0; waited < 5000 && !frame()->isVisible(); waited += 20)
        QTest::qWait(20);
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_EQ(frame()->state(), MainFrame::State::Shown);
}

TEST_F(ShellBehaviour, UnusableDataFilesAreNamedInOneNoticeWithoutWaitingOnThem)
{
    ASSERT_EQ(::mkfifo((dataDir() + "topntab.dat").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(dataDir() + "dashbk.dat"));
    writeDataFile("ui/close.png", "no image at all");
    ASSERT_TRUE(start());
    QStringList unusable;
    for (const QString& warning : notices.warnings)
        if (warning.contains(QStringLiteral("数据文件")))
            unusable << warning;
    ASSERT_EQ(unusable.size(), 1) << notices.warnings.join('|').toStdString();
    for (const char* sentence : {"topntab.dat is not a regular file", "dashbk.dat is not a regular file",
                                 "ui/close.png is no image that can be read", "ication.dat is missing"})
        EXPECT_TRUE(unusable[0].contains(QString::fromLatin1(sentence))) << sentence << " in " << unusable[0].toStdString();
    EXPECT_TRUE(frame()->isVisible());
}

TEST_F(ShellBehaviour, TerminationSignalEndsThroughExit)
{
    ASSERT_TRUE(start());
    frame()->menu()->autoRefresh()->trigger();
    QSignalSpy exited(frame(), &MainFrame::exitConfirmed);
    std::raise(SIGTERM);
    EXPECT_TRUE(exited.wait(3000));
    EXPECT_TRUE(frame()->exitRequested());
    app->shutdown();
    EXPECT_EQ(readDataFile("user.ini"), QByteArray("memu_float_staus=1\nmenu_updatelist_status=0\n"));
}

TEST_F(ShellBehaviour, TitleBarLinksOpenAboutAndTheHelpNoticeAndEscapeClosesThem)
{
    ASSERT_TRUE(start());
    TitleBar* bar = frame()->view()->titleBar();
    QString aboutTitle;
    QTimer::singleShot(100, [&aboutTitle] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            aboutTitle = modal->windowTitle();
            QTest::keyClick(modal, Qt::Key_Escape);
            if (modal->isVisible())
                modal->close();  // keeps the test from hanging; the check below fails
        }
    });
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->aboutRect().center());
    EXPECT_EQ(aboutTitle, QStringLiteral("关于Lumivex"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->helpRect().center());
    auto* notice = frame()->findChild<QMessageBox*>(QStringLiteral("onlineHelpNotice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), QStringLiteral("无法获取在线帮助，请稍后再试。"));
    ASSERT_TRUE(notice->isVisible());
    QTest::keyClick(notice, Qt::Key_Escape);
    EXPECT_FALSE(notice->isVisible());
}

TEST_F(ShellBehaviour, RefreshTickPaintsTheEnginesTotals)
{
    ASSERT_TRUE(start());
    test.count(kTrafficTcp, 0x0A000001, 2500, 1);
    test.count(kTrafficUdp, 0x0A000002, 1000000, 0);
    frame()->view()->refreshTick();
    frame()->grab();
    const orvane::StatusBar* bar = frame()->view()->statusBar();
    EXPECT_EQ(bar->paintedValue(0, 0), QStringLiteral("2.441K"));
    EXPECT_EQ(bar->paintedValue(1, 0), QStringLiteral("0.954M"));
    EXPECT_EQ(bar->paintedValue(0, 1), QStringLiteral("  1"));
    EXPECT_EQ(bar->paintedValue(0, 2), QStringLiteral("1"));
    EXPECT_EQ(bar->paintedValue(1, 2), QStringLiteral("1"));
}

TEST_F(ShellBehaviour, LanguageMenuSwitchesEveryWindowAtOnceAndUserIniKeepsTheChoice)
{
    ASSERT_TRUE(start());
    orvane::MainView* view = frame()->view();
    orvane::ProgramMenu* menu = frame()->menu();
    orvane::TrafficListPage* tcp = view->trafficList(kTrafficTcp);
    EXPECT_EQ(view->tabStrip()->tabText(0), QStringLiteral("TCP流量"));
    EXPECT_EQ(tcp->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("远程IP地址"));
    EXPECT_TRUE(menu->languageItem(std::nullopt)->isChecked());
    // Qt's own texts follow: its standard button in Chinese (with Qt's translations there).
    const auto okText = [] {
        QMessageBox box(QMessageBox::Information, QString(), QString(), QMessageBox::Ok);
        return box.button(QMessageBox::Ok)->text();
    };
    if (orvane::qtTextsTranslated()) {
        EXPECT_EQ(okText(), QStringLiteral("确定"));
    }

    menu->languageItem(lumivex::config::Language::English)->trigger();
    EXPECT_EQ(view->tabStrip()->tabText(0), QStringLiteral("TCP traffic"));
    EXPECT_EQ(tcp->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Remote address"));
    EXPECT_EQ(menu->exit()->text(), QStringLiteral("Exit"));
    EXPECT_EQ(okText().remove(QLatin1Char('&')), QStringLiteral("OK"));
    EXPECT_TRUE(menu->languageItem(lumivex::config::Language::English)->isChecked());
    app->shutdown();
    EXPECT_EQ(readDataFile("user.ini"), QByteArray("memu_float_staus=1\nmenu_updatelist_status=1\nlanguage=en\n"));

    // The next start shows English from the first text on, whatever the locale says.
    app.reset();
    ASSERT_TRUE(start());
    EXPECT_EQ(frame()->view()->tabStrip()->tabText(0), QStringLiteral("TCP traffic"));
    EXPECT_TRUE(frame()->menu()->languageItem(lumivex::config::Language::English)->isChecked());
    // Back to the system's language: Chinese for this test's locale.
    frame()->menu()->languageItem(std::nullopt)->trigger();
    EXPECT_EQ(frame()->view()->tabStrip()->tabText(0), QStringLiteral("TCP流量"));
    app->shutdown();
    EXPECT_EQ(readDataFile("user.ini"), QByteArray("memu_float_staus=1\nmenu_updatelist_status=1\nlanguage=auto\n"));
}
