// The main window rendered offscreen with the shipped skin, checked pixel by pixel at
// points computed from the skin's keys.
#include "ShellFixture.h"

#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"
#include "shell/MainFrame.h"
#include "shell/MainView.h"
#include "views/StatusBar.h"
#include "views/TabStrip.h"
#include "views/TickFeed.h"
#include "views/TitleBar.h"

#include <QPixmap>

using lumivex::config::ConfigStore;
using orvane::MainFrame;
using orvane::TitleBar;

namespace {

QColor skinColor(const char* key)
{
    const std::uint32_t bgr = ConfigStore::instance().getSkinColor(key);
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

int skinInt(const char* key)
{
    return ConfigStore::instance().getSkinInt(key);
}

QColor pixelOf(const QImage& image, QPoint p)
{
    return image.pixelColor(p);
}

class MainWindowPixels : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        installShippedSkin();
        ASSERT_TRUE(start());
        frame = app->frame();
        frame->resize(MainFrame::kInitialSize);
        image = grabFrame();
        ASSERT_EQ(image.size(), MainFrame::kInitialSize);
    }

    // A point of a child widget in frame coordinates.
    QPoint inFrame(const QWidget* child, QPoint p) const { return child->mapTo(frame, p); }

    MainFrame* frame = nullptr;
    QImage image;
};

} // namespace

TEST_F(MainWindowPixels, TwoBorderRingsInTheSkinsColours)
{
    const QColor outer = skinColor("c_frmborder");
    const QColor inner = skinColor("c_frmborderc");
    ASSERT_NE(outer, inner);
    const int midY = image.height() / 2;
    const int midX = image.width() / 2;
    for (QPoint p : {QPoint(0, midY), QPoint(image.width() - 1, midY), QPoint(midX, 0), QPoint(midX, image.height() - 1)})
        EXPECT_TRUE(colourNear(pixelOf(image, p), outer)) << p.x() << "," << p.y();
    for (int d = MainFrame::kOuterBorder; d < MainFrame::kBorder; ++d) {
        EXPECT_TRUE(colourNear(pixelOf(image, {d, midY}), inner));
        EXPECT_TRUE(colourNear(pixelOf(image, {image.width() - 1 - d, midY}), inner));
        EXPECT_TRUE(colourNear(pixelOf(image, {midX, d}), inner));
        EXPECT_TRUE(colourNear(pixelOf(image, {midX, image.height() - 1 - d}), inner));
    }
    // Inside the rings: the title bar's grey.
    EXPECT_TRUE(colourNear(pixelOf(image, {MainFrame::kBorder + 150, MainFrame::kBorder + 1}), QColor(95, 96, 96)));
}

TEST_F(MainWindowPixels, CurrentAndOtherTabGradientEnds)
{
    const orvane::TabStrip* tabs = frame->view()->tabStrip();
    // The tabs end at sh_tabwnd - sh_advertwnd and start at sl_firsttabx, 20 pixels high and 5
    // apart (six share the strip: narrower than the skin's widths).
    const int bottom = skinInt("sh_tabwnd") - skinInt("sh_advertwnd");
    ASSERT_EQ(tabs->tabRect(0).topLeft(), QPoint(skinInt("sl_firsttabx"), bottom - 20));
    ASSERT_EQ(tabs->tabRect(0).height(), 20);
    ASSERT_EQ(tabs->tabRect(3).left(), tabs->tabRect(2).right() + 1 + 5);
    struct Ends {
        int tab;
        QColor top;
        QColor middle;
        QColor bottom;
    };
    // The upper half runs from the top colour at its first row to the middle colour at its
    // last; the top row itself carries the frame line, so the first gradient row is checked.
    auto mix = [](QColor a, QColor b, double t) {
        return QColor(int(a.red() + (b.red() - a.red()) * t + 0.5), int(a.green() + (b.green() - a.green()) * t + 0.5),
                      int(a.blue() + (b.blue() - a.blue()) * t + 0.5));
    };
    for (const Ends& ends : {Ends{0, {158, 207, 163}, {0, 158, 15}, {0, 156, 12}}, Ends{2, {119, 119, 119}, {79, 81, 80}, {39, 39, 39}}}) {
        const QRect tab = tabs->tabRect(ends.tab);
        const int half = tab.height() / 2;
        const int x = tab.left() + 3;  // left of the centred text, inside the frame line
        const QColor second = mix(ends.top, ends.middle, 1.5 / (half - 1));
        EXPECT_TRUE(colourNear(pixelOf(image, inFrame(tabs, {x, tab.top() + 1})), second, 3)) << "tab " << ends.tab;
        EXPECT_TRUE(colourNear(pixelOf(image, inFrame(tabs, {x, tab.bottom()})), ends.bottom, 3)) << "tab " << ends.tab;
        EXPECT_TRUE(colourNear(pixelOf(image, inFrame(tabs, {tab.left(), tab.top() + 5})), QColor(168, 102, 68)));
    }
    // Between two tabs: the strip's background.
    EXPECT_TRUE(colourNear(pixelOf(image, inFrame(tabs, {tabs->tabRect(0).right() + 3, tabs->tabRect(0).center().y()})),
                          QColor(39, 54, 49)));
}

TEST_F(MainWindowPixels, StatusBarCellsSitWhereTheSkinPutsThem)
{
    const orvane::StatusBar* bar = frame->view()->statusBar();
    const int div = skinInt("sw_statusdiv"), label = skinInt("sw_statuslabel"), edit = skinInt("sw_statusedit");
    const int gap = skinInt("sw_statuslediv"), margin = skinInt("sl_tabwndx"), row = skinInt("sh_statuslabel");
    const int rowGap = skinInt("sh_statusdiv");
    const int x0 = std::max(margin, (bar->width() - 3 * div - 2 * (margin + 2 * (label + edit + gap))) / 2);
    const int y0 = std::max(0, (bar->height() - 2 * row - rowGap) / 2 + 1);
    const QColor box = skinColor("cbk_statusbaritem");
    const QColor background = skinColor("cbk_statusbar");
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            const int boxLeft = x0 + c * (label + gap + edit + div) + label + gap;
            const int boxTop = y0 + r * (row + rowGap);
            EXPECT_EQ(bar->valueRect(r, c), QRect(boxLeft, boxTop, edit, row));
            // Inside the box, left of its right-aligned value; just left of it the gap.
            EXPECT_TRUE(colourNear(pixelOf(image, inFrame(bar, {boxLeft + 2, boxTop + row / 2})), box)) << r << c;
            EXPECT_TRUE(colourNear(pixelOf(image, inFrame(bar, {boxLeft - 2, boxTop + row / 2})), background)) << r << c;
            EXPECT_TRUE(colourNear(pixelOf(image, inFrame(bar, {boxLeft + 5, boxTop - 1})), Qt::black));
        }
    }
}

TEST_F(MainWindowPixels, TitleBarButtonsFollowTheWidth)
{
    const TitleBar* bar = frame->view()->titleBar();
    const QPixmap close(QString::fromStdString(ConfigStore::instance().dataDir()) + "ui/close.png");
    ASSERT_FALSE(close.isNull());
    const QImage closeImage = close.toImage();
    for (int frameWidth : {960, 700}) {
        frame->resize(frameWidth, MainFrame::kInitialSize.height());
        const QImage shot = grabFrame();
        const int w = bar->width();
        ASSERT_EQ(w, frameWidth - 2 * MainFrame::kBorder);
        const QRect closeRect = bar->buttonRect(TitleBar::CloseButton);
        EXPECT_EQ(closeRect, QRect(w - close.width() - 10, (bar->height() - close.height()) / 2, close.width(), close.height()));
        EXPECT_EQ(bar->buttonRect(TitleBar::MaximizeButton).right() + 1, closeRect.left() - 5);
        EXPECT_EQ(bar->buttonRect(TitleBar::MinimizeButton).right() + 1, bar->buttonRect(TitleBar::MaximizeButton).left() - 5);
        // The close image is drawn there, pixel for pixel.
        const QPoint centre(close.width() / 2, close.height() / 2);
        EXPECT_TRUE(colourNear(pixelOf(shot, inFrame(bar, closeRect.topLeft() + centre)), closeImage.pixelColor(centre), 2));
        EXPECT_TRUE(bar->helpRect().right() < bar->buttonRect(TitleBar::MinimizeButton).left() - 19);
        EXPECT_TRUE(bar->aboutRect().right() < bar->helpRect().left() - 9);
    }
}

TEST_F(ShellFixture, TitleBarLinksNeedFourHundredPixelsAndTheLogoMoreThanTwoHundred)
{
    installShippedSkin();
    lumivex::config::registerBuiltinTexts(ConfigStore::instanceAt(dataDir().toStdString(), ""));
    orvane::TickFeed ticks;
    TitleBar bar(ticks);
    const QColor background(95, 96, 96);
    auto linkPixels = [&](const QImage& image) {
        // Pixels of link colour left of the minimise button.
        int count = 0;
        for (int x = 0; x < bar.buttonRect(TitleBar::MinimizeButton).left() - 5; ++x) {
            for (int y = 0; y < image.height(); ++y)
                count += colourDistance(image.pixelColor(x, y), QColor(230, 230, 216)) < 40 && x > 110;
        }
        return count;
    };
    bar.resize(400, 24);
    QImage image = bar.grab().toImage();
    EXPECT_FALSE(bar.helpRect().isEmpty());
    EXPECT_GT(linkPixels(image), 20);
    EXPECT_EQ(bar.logoRect().topLeft(), QPoint(4, 2));

    bar.resize(399, 24);
    image = bar.grab().toImage();
    EXPECT_TRUE(bar.helpRect().isEmpty());
    EXPECT_EQ(linkPixels(image), 0);
    EXPECT_FALSE(bar.logoRect().isEmpty());
    EXPECT_FALSE(colourNear(image.pixelColor(10, 12), background));  // the logo

    bar.resize(200, 24);
    image = bar.grab().toImage();
    EXPECT_TRUE(bar.logoRect().isEmpty());
    EXPECT_TRUE(colourNear(image.pixelColor(10, 12), background));
    EXPECT_EQ(bar.buttonRect(TitleBar::CloseButton).right(), 200 - 10 - 1);
}
