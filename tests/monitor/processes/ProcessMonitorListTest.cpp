#include "PixelProbe.h"
#include "TestEngine.h"

#include "core/TrafficModel.h"
#include "core/lists/ListColours.h"
#include "core/tick/TickSampler.h"
#include "hostinfo/NetIoRecord.h"
#include "hostinfo/XPCProcessInfo.h"
#include "monitor/processes/ProcessMonitorList.h"
#include "views/TickFeed.h"
#include "views/lists/ListRoles.h"
#include "views/lists/SkinHeaderView.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

constexpr int kHeader = SkinHeaderView::kHeight;
constexpr int kRow = SkinTableView::kRowHeight;

void sendAndReceive(TestEngine& test, std::uint32_t pid, std::uint32_t sent, std::uint32_t received)
{
    ORVANEPRO_NetIo io{};
    io.processId = pid;
    io.protocol = kNetIoTcp;
    io.remoteAddr = 0x0100000A;
    io.direction = kNetIoSend;
    io.bytesSent = sent;
    test.processes().addNetData(io);
    io.direction = kNetIoReceive;
    io.bytesSent = 0;
    io.bytesReceived = received;
    test.processes().addNetData(io);
}

} // namespace

TEST(ProcessMonitorListPaint, RowsOfEachTickWhileTheRankingIsOnShowWithUnitColours)
{
    TestEngine test;
    test.programs[300] = "/usr/bin/wget";
    TrafficModel model(test.engine());
    TickSampler sampler(test.engine(), model);
    TickFeed feed;
    ProcessMonitorList list(feed);
    QAbstractItemModelTester tester(list.monitorModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    list.resize(1000, kHeader + 5 * kRow);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    ViewState ranking;
    ranking.current = Page::Ranking;

    sendAndReceive(test, 300, 100, 100);
    emit feed.published(sampler.sample(1000, ViewState{}));  // another page on show: no rows
    EXPECT_EQ(list.monitorModel()->rowCount(), 0);
    sendAndReceive(test, 300, 2000, 1500000);
    emit feed.published(sampler.sample(2000, ranking));
    ASSERT_EQ(list.monitorModel()->rowCount(), 1);
    const auto text = [&](int c) { return list.monitorModel()->index(0, c).data().toString(); };
    EXPECT_EQ(text(0), "wget");
    EXPECT_EQ(text(1), "1.43 M");   // 1 500 000 bytes in a second
    EXPECT_EQ(text(2), "2.0 K");
    EXPECT_EQ(text(5), "0");
    EXPECT_EQ(text(8), "/usr/bin/wget");
    EXPECT_EQ(list.monitorModel()->headerData(7, Qt::Horizontal).toString(), "硬盘读写总字节");

    const QImage image = renderOf(list);
    keepShot(image, "process_list");
    const int row = kHeader;
    // The columns share the list's width: each box is its column's place.
    const auto column = [&](int c) { return QRect(list.columnViewportPosition(c), row, list.columnWidth(c), kRow); };
    EXPECT_TRUE(boxHasColour(image, column(1), toQColor(Rgb{220, 0, 220}), 40));
    EXPECT_TRUE(boxHasColour(image, column(2), toQColor(valuecolor::kilo), 40));
    EXPECT_TRUE(boxHasColour(image, column(5), toQColor(listcolour::text), 40));  // "0"
    EXPECT_LE(colourDistance(image.pixelColor(3, row + kRow / 2), toQColor(listcolour::evenRow)), 2);  // 4-pixel inset

    // A column of 44 pixels shows no text.
    list.setColumnWidth(0, 44);
    const QImage narrow = renderOf(list);
    EXPECT_FALSE(boxHasColour(narrow, QRect(0, row, 44, kRow), toQColor(listcolour::text), 40));

    // Brought on show again, the list shows the last tick's programs at once.
    list.hide();
    test.programs[301] = "/usr/bin/scp";
    sendAndReceive(test, 301, 10, 10);
    emit feed.published(sampler.sample(3000, ViewState{}));
    EXPECT_EQ(list.monitorModel()->rowCount(), 1);
    list.show();
    EXPECT_EQ(list.monitorModel()->rowCount(), 2);
}
