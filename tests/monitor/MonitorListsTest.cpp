#include "PixelProbe.h"
#include "ViewTestEngine.h"

#include "hostinfo/XPCProcessInfo.h"
#include "hostinfo/NetIoRecord.h"
#include "monitor/connections/ConnectionsPage.h"
#include "monitor/processes/ProcessMonitorList.h"
#include "views/lists/ListColours.h"
#include "views/lists/ListRoles.h"
#include "views/lists/SkinHeaderCtrl.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

constexpr int kHeader = SkinHeaderCtrl::kHeight;
constexpr int kRow = SkinTableView::kRowHeight;

void sendAndReceive(ViewTestEngine& test, std::uint32_t pid, std::uint32_t sent, std::uint32_t received)
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

TEST(ProcessMonitorListPaint, RowsFromTheEngineWithUnitColours)
{
    ViewTestEngine test;
    test.programs[300] = "/usr/bin/wget";
    ProcessMonitorList list(test.engine());
    QAbstractItemModelTester tester(list.monitorModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    list.resize(1000, kHeader + 5 * kRow);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));

    sendAndReceive(test, 300, 100, 100);
    test.engine().sample(1000);
    list.refresh(false);  // not on show: figures only
    EXPECT_EQ(list.monitorModel()->rowCount(), 0);
    sendAndReceive(test, 300, 2000, 1500000);
    test.engine().sample(2000);
    list.refresh(true);
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
    EXPECT_TRUE(boxHasColour(image, QRect(120, row, 80, kRow), toQColor(listcolour::mega), 40));
    EXPECT_TRUE(boxHasColour(image, QRect(200, row, 80, kRow), toQColor(listcolour::kilo), 40));
    EXPECT_TRUE(boxHasColour(image, QRect(440, row, 80, kRow), toQColor(listcolour::text), 40));  // "0"
    EXPECT_LE(colourDistance(image.pixelColor(3, row + kRow / 2), toQColor(listcolour::evenRow)), 2);  // 4-pixel inset

    // A column of 44 pixels shows no text.
    list.setColumnWidth(0, 44);
    const QImage narrow = renderOf(list);
    EXPECT_FALSE(boxHasColour(narrow, QRect(0, row, 44, kRow), toQColor(listcolour::text), 40));
    EXPECT_EQ(list.monitor().figures().busiestNet.name, "wget");
}

TEST(ConnectionsPageList, RebuiltOnShowSortedByHeaderClicksColumnsNoNarrowerThan40)
{
    ViewTestEngine test;
    XSocketRow s;
    s.localAddr = 0x0A000001;
    s.localPort = 40000;
    s.remoteAddr = 0x0A000002;
    s.remotePort = 22;
    s.state = 5;
    s.pid = 4;
    s.program = "ssh";
    test.sockets = {s};
    s.pid = 1000;
    s.program = "curl";
    test.sockets.push_back(s);
    ConnectionsPage page(test.engine(), CellSources{nullptr, "未知"});
    QAbstractItemModelTester tester(page.connectionsModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    page.resize(1000, kHeader + 5 * kRow);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    EXPECT_EQ(page.connectionsModel()->rowCount(), 0);
    page.refresh();
    ASSERT_EQ(page.connectionsModel()->rowCount(), 2);
    const auto cell = [&](int r, int c) { return page.connectionsModel()->index(r, c).data().toString(); };
    EXPECT_EQ(cell(0, 1), "curl");
    EXPECT_EQ(cell(0, 4), "ESTABLISHED");
    EXPECT_EQ(page.connectionsModel()->headerData(4, Qt::Horizontal).toString(), "状  态");

    // The PID column (x 750-829) sorts as text: 1000 before 4.
    QHeaderView* header = page.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(7) + 20, 10));
    EXPECT_EQ(cell(0, 7), "1000");
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(7) + 20, 10));
    EXPECT_EQ(cell(0, 7), "4");

    // Nothing changes between two showings.
    test.sockets.pop_back();
    EXPECT_EQ(page.connectionsModel()->rowCount(), 2);
    page.refresh();
    EXPECT_EQ(page.connectionsModel()->rowCount(), 1);

    const QImage image = renderOf(page);
    keepShot(image, "connections_page");
    EXPECT_TRUE(boxHasColour(image, QRect(0, kHeader, 60, kRow), toQColor(listcolour::text), 40));  // "    TCP"

    // Dragging the first column's border far to the left stops at 40 pixels.
    const int border = header->sectionSize(0) - 1;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(border, 10));
    QTest::mouseMove(header->viewport(), QPoint(5, 10));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(5, 10));
    EXPECT_EQ(header->sectionSize(0), ConnectionsPage::kMinColumnWidth);
}
