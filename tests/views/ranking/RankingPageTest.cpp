#include "PixelProbe.h"
#include "TestEngine.h"

#include "monitor/processes/ProcessMonitorList.h"
#include "views/ranking/RankCategoryBar.h"
#include "views/ranking/RankingList.h"
#include "views/ranking/RankingPage.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

const QColor kBar(39, 54, 49);
const QColor kLine(0, 156, 12);      // c_topntabline of the shipped skin
const QColor kCurrent(0, 146, 63);   // cbk_topntabitemok

} // namespace

TEST(RankCategoryBarPaint, FrameItemsAndTitle)
{
    RankCategoryBar bar;
    bar.resize(150, 400);
    const QImage image = renderOf(bar);
    keepShot(image, "rank_category_bar");
    EXPECT_LE(colourDistance(image.pixelColor(5, 200), kLine), 10);     // left edge of the frame
    EXPECT_LE(colourDistance(image.pixelColor(75, 5), kLine), 10);      // top edge
    EXPECT_LE(colourDistance(image.pixelColor(75, 394), kLine), 10);    // bottom edge
    EXPECT_LE(colourDistance(image.pixelColor(2, 200), kBar), 2);
    const QRect first = bar.itemRect(0);
    EXPECT_EQ(first, QRect(8, 50, 134, 22));
    EXPECT_LE(colourDistance(image.pixelColor(100, first.top() + 2), kCurrent), 2);
    EXPECT_LE(colourDistance(image.pixelColor(100, first.top()), QColor(123, 134, 149)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(100, first.bottom()), QColor(45, 63, 91)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(100, bar.itemRect(1).top()), QColor(123, 134, 149)), 2);
    EXPECT_TRUE(boxHasColour(image, QRect(10, first.top() + 4, 60, 16), QColor(255, 255, 255), 60));  // "TCP流量"
    EXPECT_TRUE(boxHasColour(image, QRect(30, 15, 90, 20), QColor(255, 255, 255), 10));               // "TOP 10"
    // 400 - 5 leaves room for 13 items of 24 pixels: all twelve.
    EXPECT_EQ(bar.visibleItems(), 12);
    bar.resize(150, 200);
    EXPECT_EQ(bar.visibleItems(), 5);  // the sixth would end at 50 + 120 + 22 + 10 > 195
}

TEST(RankCategoryBarPaint, AShortBarIsBackgroundOnly)
{
    RankCategoryBar bar;
    bar.resize(150, 40);
    const QImage image = renderOf(bar);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(image.pixelColor(x, y), kBar) << x << "," << y;
}

TEST(RankingPageLayout, ClicksRankAndTheLowerPaneSitsBelow)
{
    TestEngine test;
    for (int i = 1; i <= 3; ++i)
        test.count(kTrafficTcp, 0x0A000000 + std::uint32_t(i), 1000 * i, i % 2);
    auto* lower = new QWidget;
    RankingPage page(test.engine(), CellSources{nullptr, "未知"}, lower);
    page.resize(900, 500);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    EXPECT_EQ(page.rankingList()->geometry(), QRect(154, 0, 900 - 154, 206));
    EXPECT_EQ(lower->parentWidget(), &page);
    EXPECT_EQ(lower->geometry(), QRect(154, 210, 900 - 154, 500 - 210));

    page.showRanking();
    auto* model = page.rankingList()->rankingModel();
    EXPECT_EQ(model->rowCount(), 10);
    EXPECT_EQ(model->index(0, 0).data().toString(), " 10.0.0.3");
    EXPECT_EQ(model->index(1, 0).data().toString(), " 10.0.0.2");  // 10.0.0.1 has 1000 bytes: not ranked
    EXPECT_EQ(model->index(2, 0).data().toString(), "");

    QSignalSpy clicked(page.categoryBar(), &RankCategoryBar::categoryClicked);
    QTest::mouseClick(page.categoryBar(), Qt::LeftButton, {}, page.categoryBar()->itemRect(2).center());  // sent bytes
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(page.categoryBar()->currentCategory(), 2);
    EXPECT_EQ(model->index(0, 0).data().toString(), " 10.0.0.3");
    EXPECT_EQ(model->index(1, 0).data().toString(), "");  // 10.0.0.2's 2000 bytes were received
    QTest::mouseClick(page.categoryBar(), Qt::LeftButton, {}, page.categoryBar()->itemRect(2).center());
    EXPECT_EQ(clicked.count(), 2);  // the current category again: ranked again

    const QImage image = renderOf(page);
    keepShot(image, "ranking_page");
    EXPECT_LE(colourDistance(image.pixelColor(151, 300), RankingPage::kGap), 2);
    EXPECT_LE(colourDistance(image.pixelColor(500, 208), RankingPage::kGap), 2);
}
