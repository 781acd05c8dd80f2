#include "PixelProbe.h"
#include "TestEngine.h"

#include "core/lists/ListColours.h"
#include "monitor/connections/ConnectionsPage.h"
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

} // namespace

TEST(ConnectionsPageList, RebuiltOnShowSortedByHeaderClicksColumnsNoNarrowerThan40)
{
    TestEngine test;
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
