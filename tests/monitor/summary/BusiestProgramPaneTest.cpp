#include "monitor/summary/BusiestProgramPane.h"

#include "PixelProbe.h"

#include "core/tick/TickSnapshot.h"
#include "views/FittedText.h"
#include "views/TickFeed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace orvane {
namespace {

const QColor kBackground(39, 54, 49);
const QColor kCaption(210, 210, 216);
constexpr int kLine = Qt::AlignVCenter | Qt::TextSingleLine;

void publish(TickFeed& feed, const MachineFigures& figures)
{
    TickSnapshot s;
    s.machine = figures;
    emit feed.published(s);
}

TEST(BusiestProgramPane, LinesNameTheBusiestProgramsWithColouredSpeeds)
{
    MachineFigures figures;
    figures.busiestDisk = {1500, "postgres"};
    figures.busiestNet = {0, ""};
    TickFeed feed;
    BusiestProgramPane panel(feed);
    publish(feed, figures);
    panel.resize(420, 60);
    const QImage image = renderOf(panel);
    keepShot(image, "busiest_program_panel");

    EXPECT_EQ(image.pixelColor(1, 1), kBackground);
    const auto disk = panel.lineBoxes(0);
    const auto net = panel.lineBoxes(1);
    // The client area less 5 pixels each side and 2 at the top; the first line 8 below that,
    // 18 high; the second 4 below it. Caption to x + 157, name 110 wide, speed to the edge.
    EXPECT_EQ(disk.caption, QRect(10, 10, 152, 18));
    EXPECT_EQ(disk.name, QRect(162, 10, 110, 18));
    EXPECT_EQ(disk.speed, QRect(272, 10, 143, 18));
    EXPECT_EQ(net.caption.top(), 32);

    const QFont& font = panel.textFont();
    EXPECT_TRUE(showsText(image, disk.caption, font, Qt::AlignLeft | kLine, "当前读写硬盘的程序：", kCaption,
                                      kBackground));
    EXPECT_TRUE(showsText(image, disk.name, font, Qt::AlignHCenter | kLine, "postgres", kCaption,
                                      kBackground));
    EXPECT_TRUE(showsText(image, disk.speed, font, Qt::AlignRight | kLine, "1.5K B/S", QColor(255, 245, 0),
                                      kBackground));
    EXPECT_TRUE(showsText(image, net.caption, font, Qt::AlignLeft | kLine, "当前访问网络的程序：", kCaption,
                                      kBackground));
    EXPECT_TRUE(showsText(image, net.name, font, Qt::AlignHCenter | kLine, "", kCaption, kBackground));
    EXPECT_TRUE(
        showsText(image, net.speed, font, Qt::AlignRight | kLine, "0 B/S", kCaption, kBackground));
    // The yellow speed is right-aligned against the shrunk client edge (x 414).
    auto yellowish = [&](const QRect& box) {
        int n = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += c.red() > 120 && c.green() > 110 && c.blue() < 70;
            }
        return n;
    };
    EXPECT_GT(yellowish(QRect(404, 10, 11, 18)), 0);
    EXPECT_EQ(yellowish(QRect(415, 0, 5, 60)), 0);
}

TEST(BusiestProgramPane, LongNamesAreCutWithAnEllipsisInsideTheirBox)
{
    MachineFigures figures;
    figures.busiestNet = {5u << 20, "a-program-with-a-very-long-name-indeed"};
    TickFeed feed;
    BusiestProgramPane panel(feed);
    publish(feed, figures);
    panel.resize(420, 60);
    const auto net = panel.lineBoxes(1);
    std::vector<FittedTextRecord> drawn;
    setFittedTextObserver([&](const FittedTextRecord& r) { drawn.push_back(r); });
    const QImage image = renderOf(panel);
    setFittedTextObserver({});
    const auto name = std::find_if(drawn.begin(), drawn.end(), [&](const auto& r) { return r.box == net.name; });
    ASSERT_NE(name, drawn.end());
    EXPECT_TRUE(name->shortened);
    EXPECT_TRUE(name->text.endsWith(QChar(0x2026)));
    EXPECT_LE(name->width, net.name.width());
    EXPECT_TRUE(showsText(image, net.speed, panel.textFont(), Qt::AlignRight | kLine, "5.00M B/S",
                                      QColor(220, 0, 220), kBackground));
}

} // namespace
} // namespace orvane
