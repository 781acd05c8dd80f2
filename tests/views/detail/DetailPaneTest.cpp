#include "PixelProbe.h"
#include "TestEngine.h"

#include "core/TrafficModel.h"
#include "core/tick/TickSnapshot.h"
#include "views/TickFeed.h"
#include "views/detail/IpDetailPane.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

constexpr std::uint32_t kHost = 0x0A000002;

class DetailPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pane.resize(216, 700);
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    }

    TestEngine test;
    TrafficModel model{test.engine()};
    TickFeed ticks;
    IpDetailPane pane{ticks, model, CellSources{nullptr, "未知"}};
};

QColor filledOver(QColor background)
{
    const QColor f = CurveChart::kFill;
    const double a = f.alphaF();
    return QColor(int(background.red() + (f.red() - background.red()) * a + 0.5),
                  int(background.green() + (f.green() - background.green()) * a + 0.5),
                  int(background.blue() + (f.blue() - background.blue()) * a + 0.5));
}

} // namespace

TEST_F(DetailPaneTest, CurvesFillTheFreeHeightAndRiseWithTheRate)
{
    const IpDetailPane::CurveLayout l = pane.curveLayout();
    EXPECT_EQ(l.top, 20 + 306 + 12);
    EXPECT_EQ(l.count, 3);
    EXPECT_EQ(l.height, (700 - l.top) / 3 - 12);  // more than two fit: they share the height

    test.count(kTrafficTcp, kHost, 100, 1);
    test.dns().addRecord(kHost, "files.lumivex.test", 18, XNameSource::Tls);
    pane.follow(kTrafficTcp, kHost);
    for (int second = 0; second < 30; ++second) {
        pane.sample(1000);
        test.count(kTrafficTcp, kHost, 10240, 1);  // 10 KB/s sent
    }
    pane.sample(1000);
    EXPECT_EQ(pane.curve(kTrafficTcp, 1).ring().writeIndex(), 30);
    const QImage image = renderOf(pane);
    keepShot(image, "detail_pane");

    // The sent curve (the second) reaches half its height: 10240 is two of four bands.
    const int top = l.top + (l.height + IpDetailPane::kCurveGap);
    const int baseline = top + l.height - 2;
    const int x = IpDetailPane::kCurveLeft + 2 + 2 * 20;
    const int half = (l.height / 4) * 2;
    const QColor background(15, 90, 54);
    EXPECT_LE(colourDistance(image.pixelColor(x, baseline - half + 4), filledOver(background)), 3);
    EXPECT_LE(colourDistance(image.pixelColor(x, baseline - half - 4), background), 3);
    // The received curve stays one pixel high.
    const int recvBaseline = l.top + 2 * (l.height + IpDetailPane::kCurveGap) + l.height - 2;
    EXPECT_LE(colourDistance(image.pixelColor(x, recvBaseline - 3), background), 3);

    // "最近上传字节" shows 10.000K in yellow.
    EXPECT_EQ(pane.tracker().values(model, CellSources{nullptr, "未知"})[10].text, "10.000K");
    EXPECT_TRUE(boxHasColour(image, pane.valueRect(10), QColor(255, 245, 0), 40));
    // The name and its source fill the last two rows.
    EXPECT_TRUE(boxHasColour(image, pane.valueRect(15), QColor(240, 240, 240), 60));
    EXPECT_TRUE(boxHasColour(image, pane.valueRect(16), QColor(240, 240, 240), 60));
    // Title box, body box and the left strip.
    EXPECT_LE(colourDistance(image.pixelColor(30, 10), QColor(0, 146, 63)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(210, 295), QColor(31, 26, 23)), 2);
    EXPECT_LE(colourDistance(image.pixelColor(1, 300), QColor(39, 54, 49)), 2);
}

TEST_F(DetailPaneTest, TicksAreSampledOnlyWhileTheSidePanelIsOpen)
{
    test.count(kTrafficTcp, kHost, 100, 1);
    pane.follow(kTrafficTcp, kHost);
    TickSnapshot tick;
    tick.elapsedMs = 1000;
    for (bool open : {false, false, true, true}) {
        tick.view.sidePanelOpen = open;
        test.count(kTrafficTcp, kHost, 2048, 1);
        emit ticks.published(tick);
    }
    // The first open tick takes the first sample, the second the first rate.
    const ChartRing& sent = pane.curve(kTrafficTcp, 1).ring();
    ASSERT_EQ(sent.writeIndex(), 1);
    EXPECT_EQ(sent.at(0), 2048);
}

TEST_F(DetailPaneTest, ShortPanesDrawFewerCurvesAndTheChatListANote)
{
    pane.resize(216, 338 + 100);
    EXPECT_EQ(pane.curveLayout().count, 1);
    EXPECT_EQ(pane.curveLayout().height, 86);
    pane.resize(216, 338 + 50);
    EXPECT_EQ(pane.curveLayout().count, 1);
    EXPECT_EQ(pane.curveLayout().height, 44);
    pane.resize(216, 338 + 5);
    EXPECT_EQ(pane.curveLayout().count, 0);

    pane.resize(216, 600);
    test.count(kTrafficTcp, kHost, 100, 1);
    pane.follow(kTrafficChat, kHost);
    const QImage image = renderOf(pane);
    keepShot(image, "detail_pane_chat");
    EXPECT_FALSE(boxHasColour(image, QRect(6, 338, 205, 86), QColor(15, 90, 54), 2));  // no curve frame
    EXPECT_TRUE(boxHasColour(image, QRect(6, 366, 205, 100), QColor(218, 218, 226), 60));  // the note
}

TEST_F(DetailPaneTest, CloseButtonForgetsTheAddressesAndDoubleClickAsksForTheSelection)
{
    test.count(kTrafficTcp, kHost, 100, 1);
    pane.follow(kTrafficTcp, kHost);
    pane.sample(1000);
    QSignalSpy closed(&pane, &IpDetailPane::closeRequested);
    QSignalSpy shown(&pane, &IpDetailPane::selectionShowRequested);
    const QRect button = pane.closeButtonRect();
    ASSERT_FALSE(button.isEmpty());
    EXPECT_LT(button.right(), 216 - 9);

    QTest::mouseMove(&pane, button.center());
    QTest::mouseClick(&pane, Qt::LeftButton, {}, button.center());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(pane.tracker().tracked(kTrafficTcp).address, 0u);
    EXPECT_TRUE(pane.curve(kTrafficTcp, 0).ring().empty());

    QTest::mouseClick(&pane, Qt::LeftButton, {}, QPoint(100, 400));  // not on the button
    EXPECT_EQ(closed.count(), 1);
    QTest::mouseDClick(&pane, Qt::LeftButton, {}, QPoint(100, 400));
    EXPECT_EQ(shown.count(), 1);
}
