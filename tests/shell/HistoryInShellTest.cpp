// The history page and the menu's history and export items inside the window program: the
// sixth tab shows what the recorder wrote, every readout fitting at the window's first size
// in both languages; "Export CSV" writes the list on show; the recording switch is saved.
#include "HistoryTestSupport.h"
#include "ShellFixture.h"

#include "monitor/history/HistoryChart.h"
#include "monitor/history/HistoryPage.h"
#include "monitor/history/HistoryTable.h"
#include "shell/MainFrame.h"
#include "shell/MainView.h"
#include "shell/ProgramMenu.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "views/TabStrip.h"

#include <QFile>
#include <QTest>

#include <ctime>

using orvane::MainView;

namespace {

class HistoryInShell : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        installShippedSkin();
        writeDataFile("user.ini", "menu_updatelist_status=1\n");
    }
    // Where the program finds its history: the fixture's XDG_DATA_HOME.
    std::string historyFile() const { return m_dir.filePath("xdg/lumivex/history.sqlite").toStdString(); }
    static bool answered(orvane::HistoryPage& page)
    {
        return QTest::qWaitFor([&page] { return !page.waiting(); }, 10000);
    }
};

} // namespace

TEST_F(HistoryInShell, TheSixthTabShowsTheRecordedTrafficAndEveryReadoutFitsInBothLanguages)
{
    ASSERT_TRUE(historytest::recordThreePrograms(historyFile(), int64_t(std::time(nullptr)) - 600));
    ASSERT_TRUE(start());
    app->frame()->resize(960, 680);
    MainView* view = app->frame()->view();
    view->reshowCurrentPage(false);
    orvane::TabStrip* tabs = view->tabStrip();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(5).center());
    orvane::HistoryPage* page = view->historyPage();
    ASSERT_EQ(view->currentPage(), page);
    EXPECT_EQ(page->databasePath(), historyFile());
    page->setSpan(orvane::HistorySpan::of(orvane::HistorySpanKind::Last7Days));
    ASSERT_TRUE(answered(*page));
    ASSERT_EQ(page->mainTable()->tableModel()->rowCount(), 3);
    page->selectMainRow(0);
    ASSERT_TRUE(answered(*page));
    EXPECT_EQ(page->detailTable()->tableModel()->rowCount(), 2);

    std::vector<orvane::FittedTextRecord> drawn;
    orvane::setFittedTextObserver([&drawn](const orvane::FittedTextRecord& r) { drawn.push_back(r); });
    for (auto language : {lumivex::config::Language::Chinese, lumivex::config::Language::English}) {
        app->frame()->menu()->languageItem(language)->trigger();
        QApplication::processEvents();
        ASSERT_TRUE(answered(*page));
        QApplication::processEvents();
        // Every tab's caption fits its tab, the six within the strip.
        for (int i = 0; i < tabs->count(); ++i)
            EXPECT_GE(tabs->tabRect(i).width(), QFontMetrics(tabs->tabFont()).horizontalAdvance(tabs->tabText(i)));
        EXPECT_LE(tabs->tabRect(tabs->count() - 1).right(), tabs->width());
        drawn.clear();
        const QImage shot = grabFrame();
        shot.save(QStringLiteral(LUMIVEX_SHOT_DIR "/shell_history_%1.png")
                      .arg(language == lumivex::config::Language::Chinese ? "zh" : "en"));
        EXPECT_GT(drawn.size(), 20u);
        for (const orvane::FittedTextRecord& r : drawn) {
            EXPECT_LE(r.width, r.box.width()) << r.text.toStdString();
            EXPECT_FALSE(r.shortened) << r.text.toStdString();
        }
        // The bars are painted in the received and sent colours.
        const QRect plot = page->chart()->plotRect().translated(page->chart()->mapTo(app->frame(), QPoint(0, 0)));
        int received = 0, sent = 0;
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            for (int x = plot.left(); x <= plot.right(); ++x) {
                received += shot.pixelColor(x, y) == orvane::HistoryChart::kReceived;
                sent += shot.pixelColor(x, y) == orvane::HistoryChart::kSent;
            }
        EXPECT_GT(received, 0);
        EXPECT_GT(sent, 0);
    }
    orvane::setFittedTextObserver({});
}

TEST_F(HistoryInShell, TheMenuExportsTheListOnShowAndKeepsTheRecordingSwitch)
{
    for (int i = 0; i < 3; ++i) {
        test.count(kTrafficTcp, 0x0A000100 + std::uint32_t(i), 2000 + 100 * i, 1);
        test.now += 10;
    }
    ASSERT_TRUE(start());
    MainView* view = app->frame()->view();
    view->reshowCurrentPage(false);
    const QString file = m_dir.filePath("tcp.csv");
    ASSERT_TRUE(app->frame()->exportListTo(file));
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith(orvane::skin::text("remoteip").trimmed().toUtf8())) << lines[0].toStdString();
    // The newest first, its bytes whole.
    EXPECT_TRUE(lines[1].startsWith("10.0.1.2,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(",2200,")) << lines[1].toStdString();
    // The dashboard has no list.
    view->showDashboard(1);
    EXPECT_FALSE(app->frame()->exportListTo(file));

    orvane::ProgramMenu* menu = app->frame()->menu();
    ASSERT_TRUE(menu->historyRecord()->isChecked());
    menu->historyRecord()->trigger();
    EXPECT_FALSE(menu->historyRecord()->isChecked());
    app->shutdown();
    EXPECT_TRUE(readDataFile("user.ini").contains("history_off=1\n"));
}
