#include "PixelProbe.h"
#include "TestEngine.h"

#include "capture/XIPCounter.h"
#include "config/DataFileStore.h"
#include "core/TrafficModel.h"
#include "core/lists/ListColours.h"
#include "core/tick/TickSnapshot.h"
#include "views/TickFeed.h"
#include "views/lists/ListRoles.h"
#include "views/lists/SkinHeaderView.h"
#include "views/lists/TrafficListPage.h"
#include "views/lists/TrafficListModel.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

constexpr std::uint32_t kFirst = 0x0A000001;   // 10.0.0.1
constexpr std::uint32_t kSecond = 0x0A000002;  // 10.0.0.2
constexpr std::uint32_t kThird = 0x0E66F001;   // 14.102.240.1: no location known
constexpr int kHeader = SkinHeaderView::kHeight;
constexpr int kRow = SkinTableView::kRowHeight;

const lumivex::config::DataFileStore& shippedData()
{
    static lumivex::config::DataFileStore* store = [] {
        auto* s = new lumivex::config::DataFileStore(LUMIVEX_DAT_DIR);
        s->load();
        return s;
    }();
    return *store;
}

// Runs the event loop until the condition holds (at most a second).
template <typename F>
bool waitFor(F condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 1000)
            return false;
        QTest::qWait(10);
    }
    return true;
}

QColor qc(Rgb c)
{
    return toQColor(c);
}

class TrafficListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test.programs[42] = "/usr/bin/firefox";
        // Oldest first, so that the list (most recent first) reads third, second, first.
        test.count(kTrafficTcp, kFirst, 1000000, 1, 443, 42);
        test.now += 3000;
        test.count(kTrafficTcp, kSecond, 1000000, 0, 8080, 42);
        test.now += 500;
        test.count(kTrafficTcp, kThird, 50, 1, 47123);
        test.now += 1000;
        makeList(kTrafficTcp);
    }

    void makeList(XTrafficKind kind)
    {
        delete list;
        auto* listModel = new TrafficListModel(kind, model, [this] { return test.now; }, CellSources{&shippedData(), "未知"});
        tester = std::make_unique<QAbstractItemModelTester>(listModel, QAbstractItemModelTester::FailureReportingMode::Fatal);
        list = new TrafficListPage(ticks, listModel);
        list->resize(1000, kHeader + 10 * kRow);
        list->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
        list->refresh();
    }

    void TearDown() override
    {
        tester.reset();
        delete list;
    }

    QString cell(int row, int column) const
    {
        return list->listModel()->index(row, column).data().toString();
    }
    int rowMiddle(int row) const { return kHeader + row * kRow + kRow / 2; }
    // A point of a row in the list's viewport.
    QPoint rowPoint(int row) const { return QPoint(300, row * kRow + kRow / 2); }

    TestEngine test;
    TrafficModel model{test.engine()};
    TickFeed ticks;
    TrafficListPage* list = nullptr;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace

TEST_F(TrafficListTest, CellsReadThroughTheModel)
{
    ASSERT_EQ(list->listModel()->rowCount(), 3);
    EXPECT_EQ(cell(0, 0), " 14.102.240.1");  // the most recent first, with its leading blank
    EXPECT_EQ(cell(0, 1), "47123");
    EXPECT_EQ(cell(0, 3), "未知");
    EXPECT_EQ(cell(0, 7), "");
    EXPECT_EQ(cell(1, 0), " 10.0.0.2");
    EXPECT_EQ(cell(1, 1), "http-alt");        // 8080's description
    EXPECT_EQ(cell(1, 3), "局域网");
    EXPECT_EQ(cell(1, 5), "0.954M");
    EXPECT_EQ(cell(1, 7), " firefox");
    EXPECT_EQ(cell(2, 1), "https");
    EXPECT_EQ(cell(2, 4), "976.56K");
    EXPECT_EQ(list->listModel()->index(2, 0).data(AddressRole).toUInt(), kFirst);
    EXPECT_EQ(list->listModel()->rowOf(kFirst), 2);
    EXPECT_EQ(list->listModel()->headerData(0, Qt::Horizontal).toString(), "远程IP地址");
    EXPECT_EQ(list->listModel()->headerData(7, Qt::Horizontal).toString(), "程 序");
    EXPECT_EQ(list->listModel()->index(0, 6).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
}

TEST_F(TrafficListTest, RowColoursActiveCellsUnitColoursAndHeader)
{
    list->refresh();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(1));
    ASSERT_EQ(list->selectedRow(), 1);
    const QImage image = renderOf(*list);
    keepShot(image, "tcp_list");

    // Right of the last column (948 pixels of columns) each row keeps its colour.
    EXPECT_LE(colourDistance(image.pixelColor(980, rowMiddle(0)), qc(listcolour::evenRow)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(980, rowMiddle(1)), qc(listcolour::selectedRow)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(980, rowMiddle(2)), qc(listcolour::evenRow)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(500, rowMiddle(5)), qc(listcolour::belowRows)), 2);

    // Row 0 was active 1 s ago: its address and location cells are filled, one pixel in.
    EXPECT_LE(colourDistance(image.pixelColor(112, rowMiddle(0)), qc(listcolour::activeCell)), 2);
    const int location = list->columnViewportPosition(3) + 2;  // the columns share the list's width
    EXPECT_LE(colourDistance(image.pixelColor(location, rowMiddle(0)), qc(listcolour::activeCell)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(112, kHeader), qc(listcolour::evenRow)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(122, rowMiddle(0)), qc(listcolour::evenRow)), 2);  // port: not marked
    // Rows 1 and 2 were last active 1.5 s and 4.5 s ago.
    EXPECT_LE(colourDistance(image.pixelColor(112, rowMiddle(1)), qc(listcolour::activeCell)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(112, rowMiddle(2)), qc(listcolour::evenRow)), 2);

    // Byte cells in their unit's colour: 976.56K sent in yellow, 0.954M received in magenta.
    const int sentLeft = 118 + 80 + 150 + 160, recvLeft = sentLeft + 80;
    EXPECT_TRUE(boxHasColour(image, QRect(sentLeft, kHeader + 2 * kRow, 80, kRow), qc(valuecolor::kilo), 40));
    EXPECT_TRUE(boxHasColour(image, QRect(recvLeft, kHeader + kRow, 80, kRow), qc(Rgb{220, 0, 220}), 40));
    EXPECT_FALSE(boxHasColour(image, QRect(sentLeft, kHeader, 80, kRow), qc(valuecolor::kilo), 40));  // "50"

    // Header: green band, brown frame and separators, captions in the skin's colour.
    EXPECT_LE(colourDistance(image.pixelColor(60, 3), qc(listcolour::headerBackground)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(0, 10), qc(listcolour::headerFrame)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(117, 10), qc(listcolour::headerFrame)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(117, 0), qc(listcolour::headerFrame)), 2);
    EXPECT_TRUE(boxHasColour(image, QRect(10, 2, 100, 16), list->skinHeader()->textColour(), 40));
}

TEST_F(TrafficListTest, ActivityMarkingEndsAfterTwoSeconds)
{
    test.now += 1000;  // the newest row was active 2000 ms ago: still marked
    list->repaintRows();
    EXPECT_TRUE(list->listModel()->isActive(0));
    EXPECT_EQ(list->listModel()->index(0, 0).data(CellFillRole).value<QColor>(), qc(listcolour::activeCell));
    test.now += 1;
    QSignalSpy changed(list->listModel(), &QAbstractItemModel::dataChanged);
    list->repaintRows();  // 2001 ms: repainted once in its own colours...
    EXPECT_FALSE(list->listModel()->isActive(0));
    EXPECT_FALSE(list->listModel()->index(0, 0).data(CellFillRole).isValid());
    EXPECT_EQ(changed.count(), 1);  // (row 1 had its last repaint at the previous refresh)
    changed.clear();
    list->repaintRows();            // ... and then left alone
    EXPECT_EQ(changed.count(), 0);
    list->setMarkActive(false);
    test.count(kTrafficTcp, kFirst, 10, 1);
    list->repaintRows();
    EXPECT_FALSE(list->listModel()->index(2, 0).data(CellFillRole).isValid());
}

TEST_F(TrafficListTest, ClickSelectsClickAgainDeselectsAndDoubleClickOpens)
{
    QSignalSpy clicked(list, &TrafficListPage::addressClicked);
    QSignalSpy opened(list, &TrafficListPage::addressOpened);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(1));
    EXPECT_EQ(list->selectedRow(), 1);
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).value<std::uint32_t>(), kSecond);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(1));
    EXPECT_EQ(list->selectedRow(), -1);
    ASSERT_EQ(clicked.count(), 2);  // deselected, still reported
    EXPECT_EQ(clicked.at(1).at(0).value<std::uint32_t>(), kSecond);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(7));  // below the rows
    EXPECT_EQ(clicked.count(), 2);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(2));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowPoint(2));
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).value<std::uint32_t>(), kFirst);
    EXPECT_EQ(list->selectedRow(), 2);

    // The selection follows its address when a refresh reorders the rows.
    test.count(kTrafficTcp, kFirst, 10, 1);
    list->refresh();
    EXPECT_EQ(list->selectedRow(), 0);
    list->clearSelection();
    EXPECT_EQ(list->selectedRow(), -1);
    EXPECT_EQ(list->selectedIp(), kFirst);
    list->showSelection();
    EXPECT_EQ(list->selectedRow(), 0);
}

TEST_F(TrafficListTest, HeaderClickOnTheAddressColumnRefreshesAtOnce)
{
    test.count(kTrafficTcp, 0x0A000009, 10, 1);
    list->repaintRows();  // a cache refresh keeps the row set
    EXPECT_EQ(list->listModel()->rowCount(), 3);
    QTest::mouseClick(list->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(300, 10));  // column 2
    EXPECT_EQ(list->sortKey(), TrafficColumn::DnsName);
    EXPECT_EQ(list->listModel()->rowCount(), 3);  // takes effect at the next full refresh
    QTest::mouseClick(list->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(50, 10));   // column 0
    EXPECT_EQ(list->sortKey(), TrafficColumn::Address);
    ASSERT_EQ(list->listModel()->rowCount(), 4);
    EXPECT_EQ(cell(0, 0), " 10.0.0.1");  // key 0: the engine's order (ascending address)
    EXPECT_FALSE(list->shape().sort);
}

TEST_F(TrafficListTest, TheTicksListRefreshReachesOnlyItsOwnList)
{
    test.count(kTrafficTcp, 0x0A000009, 10, 1);
    TickSnapshot tick;
    tick.list = {ListRefresh::Action::Full, kTrafficUdp, 0};
    emit ticks.published(tick);
    EXPECT_EQ(list->itemCount(), 3);  // another list's refresh
    // The tick re-read the TCP list: the page shows its rows.
    tick.list = {ListRefresh::Action::Full, kTrafficTcp, model.refreshList(kTrafficTcp, true)};
    emit ticks.published(tick);
    ASSERT_EQ(list->itemCount(), 4);
    EXPECT_EQ(cell(0, 0), " 10.0.0.9");
    // A long list's tick: fresh values of the visible rows, the order as it was.
    test.now += 10;
    test.count(kTrafficTcp, kFirst, 10, 1);
    tick.list = {ListRefresh::Action::Rows, kTrafficTcp, 0};
    emit ticks.published(tick);
    EXPECT_EQ(list->itemCount(), 4);
    EXPECT_EQ(list->listModel()->rowOf(kFirst), 3);
    EXPECT_TRUE(list->listModel()->isActive(3));
}

TEST_F(TrafficListTest, VanishedAddressesShowEmptyRows)
{
    test.engine().clear(kTrafficTcp);
    list->repaintRows();
    EXPECT_EQ(list->listModel()->rowCount(), 3);  // the order of the last full refresh stays
    EXPECT_FALSE(list->listModel()->index(0, 0).data().isValid());
    const QImage image = renderOf(*list);
    EXPECT_FALSE(boxHasColour(image, QRect(0, kHeader, 948, 3 * kRow), qc(listcolour::text), 40));
    list->refresh();
    EXPECT_EQ(list->listModel()->rowCount(), 0);
    EXPECT_EQ(list->listModel()->index(0, 0).data(), QVariant());
}

TEST_F(TrafficListTest, ScrollingFetchesOnlyTheRowsComingOnShow)
{
    for (std::uint32_t i = 0; i < 500; ++i)
        test.count(kTrafficTcp, 0x0B000000 + i, 100, 1);
    list->refresh();
    ASSERT_EQ(list->listModel()->rowCount(), 503);
    EXPECT_EQ(list->listModel()->cache().first(), 0);
    list->verticalScrollBar()->setValue(200);
    ASSERT_EQ(list->topRow(), 200);
    // While scrolling the cache stays; the rows on show are read one by one.
    EXPECT_EQ(list->listModel()->cache().first(), 0);
    EXPECT_FALSE(cell(200, 0).isEmpty());
    // Once the list rests, the new page is cached.
    EXPECT_TRUE(waitFor([&] { return list->listModel()->cache().first() == 200; }));
    EXPECT_EQ(list->shape().rowsPerPage, 10);
}

TEST_F(TrafficListTest, ChatListShowsTheChatProgram)
{
    XIPCounter::addICQProcessName("qq", "QQ");
    test.programs[7] = "/opt/qq/qq";
    test.count(kTrafficTcp, 0x0A0000AA, 6000, 1, 8000, 7);  // the chat list shows busy addresses only
    test.count(kTrafficTcp, 0x0A0000AA, 300, 0, 8000, 7);
    XIPCounter::clearICQProcessNames();
    makeList(kTrafficChat);
    ASSERT_EQ(list->listModel()->rowCount(), 1);
    EXPECT_EQ(list->listModel()->columnCount(), 7);
    EXPECT_EQ(cell(0, 0), " 10.0.0.170");
    EXPECT_EQ(cell(0, 1), " QQ");
    EXPECT_EQ(list->listModel()->headerData(0, Qt::Horizontal).toString(), "对方IP地址");
}
