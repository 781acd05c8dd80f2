#include "views/floating/FloatWindow.h"

#include "PixelProbe.h"

#include "core/tick/TickSnapshot.h"
#include "views/TickFeed.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace orvane {
namespace {

const QColor kGrey(240, 240, 240), kYellow(255, 245, 0), kBlue(0, 0, 255);
const QColor kBackground(20, 30, 26);

// A tick with these machine figures.
void publish(TickFeed& feed, const MachineFigures& figures)
{
    TickSnapshot snapshot;
    snapshot.machine = figures;
    emit feed.published(snapshot);
}

QPixmap plainBackground()
{
    QPixmap pixmap(500, 22);
    pixmap.fill(kBackground);
    return pixmap;
}

// Figure i: its text in its box, in the strip's font.
bool showsFigure(FloatWindow& strip, const QImage& image, int i, const QString& text, const QColor& colour)
{
    return showsText(image, strip.figureBox(i), strip.textFont(), Qt::AlignLeft | Qt::AlignTop, text, colour, kBackground);
}

TEST(FloatWindow, FiveFiguresWithTheirColoursAtTheirColumns)
{
    MachineFigures figures;
    figures.cpuPercent = 37;
    figures.memoryPercent = 64;
    figures.diskRead = 1000;
    figures.diskWrite = 500;       // 1500 B/s together
    figures.upload = 5000000;
    figures.download = 0;
    TickFeed feed;
    FloatWindow strip(feed, plainBackground());
    publish(feed, figures);
    ASSERT_EQ(strip.size(), QSize(500, 22));
    const QImage image = renderOf(strip);
    keepShot(image, "float_window");

    EXPECT_TRUE(showsFigure(strip, image, 0, "CPU: 37%", kGrey));
    EXPECT_TRUE(showsFigure(strip, image, 1, "内存: 64%", kGrey));
    EXPECT_TRUE(showsFigure(strip, image, 2, "硬盘: 1.5 K/S", kYellow));
    EXPECT_TRUE(showsFigure(strip, image, 3, "上传: 4.77 M/S", kBlue));
    EXPECT_TRUE(showsFigure(strip, image, 4, "下载:   0 /S", kGrey));
    // Nothing drawn left of the first column but the background.
    EXPECT_EQ(countColour(image, QRect(0, 0, 70, 22), kBackground, 0), 70 * 22);
}

TEST(FloatWindow, FiguresFollowEachTick)
{
    TickFeed feed;
    FloatWindow strip(feed, plainBackground());
    MachineFigures figures;
    publish(feed, figures);
    figures.download = 150000000;  // beyond 1e8: G, the bare letter
    publish(feed, figures);
    const QImage image = renderOf(strip);
    EXPECT_TRUE(showsFigure(strip, image, 4, "下载: 0.14G", kBlue));
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST(FloatWindow, AnIdleTickPaintsNothingAChangedOneRepaints)
{
    TickFeed feed;
    FloatWindow strip(feed, plainBackground());
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    MachineFigures figures;
    figures.cpuPercent = 3;
    publish(feed, figures);
    QCoreApplication::processEvents();
    PaintCounter counter;
    strip.installEventFilter(&counter);
    publish(feed, figures);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0) << "the same texts again";
    figures.cpuPercent = 4;
    publish(feed, figures);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
}

TEST(FloatWindow, HomeIsLeftOfTheMiddleOfTheWorkArea)
{
    EXPECT_EQ(FloatWindow::homePosition(QRect(0, 0, 1280, 984)), QPoint(560, 1));
    EXPECT_EQ(FloatWindow::homePosition(QRect(0, 32, 1920, 1048)), QPoint(880, 33));
}

TEST(FloatWindow, ShowsOnlyWhenSwitchedOnAndAsAToolWindowOnTop)
{
    TickFeed feed;
    FloatWindow strip(feed, plainBackground());
    EXPECT_TRUE(strip.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(strip.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(strip.windowType(), Qt::Tool);
    strip.showIfAllowed();
    EXPECT_FALSE(strip.isVisible());
    strip.setAllowed(true);
    strip.showIfAllowed();
    EXPECT_TRUE(strip.isVisible());
    strip.setAllowed(false);
    EXPECT_FALSE(strip.isVisible());
}

TEST(FloatWindow, RightClickAsksForTheMenuAndDoubleClickForTheMainWindow)
{
    TickFeed feed;
    FloatWindow strip(feed, plainBackground());
    strip.setAllowed(true);
    strip.showIfAllowed();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    QSignalSpy menu(&strip, &FloatWindow::menuRequested);
    QSignalSpy restore(&strip, &FloatWindow::showMainRequested);
    QTest::mouseClick(&strip, Qt::RightButton, {}, QPoint(30, 10));
    ASSERT_EQ(menu.count(), 1);
    EXPECT_EQ(menu.at(0).at(0).toPoint(), strip.mapToGlobal(QPoint(30, 10)));
    EXPECT_EQ(restore.count(), 0);
    QTest::mouseDClick(&strip, Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(restore.count(), 1);
    EXPECT_EQ(menu.count(), 1);
}

TEST(FloatWindow, LeftDragMovesTheStripWhereNoWindowManagerDoes)
{
    TickFeed feed;
    FloatWindow strip(feed, plainBackground());
    strip.setAllowed(true);
    strip.showIfAllowed();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    const QPoint start = strip.pos();
    QTest::mousePress(&strip, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(&strip, QPoint(50, 15));
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, QPoint(50, 15));
    EXPECT_EQ(strip.pos(), start + QPoint(40, 5));
}

} // namespace
} // namespace orvane
