#include "PixelProbe.h"

#include "views/charts/CurveChart.h"
#include "views/charts/Gauge.h"
#include "views/charts/SeriesChart.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace orvane;

namespace {

const QColor kBackground(15, 90, 54);
const QColor kFrame(31, 177, 107);

// The translucent curve fill over a background.
QColor filledOver(QColor background)
{
    const QColor f = CurveChart::kFill;
    const double a = f.alphaF();
    return QColor(int(background.red() + (f.red() - background.red()) * a + 0.5),
                  int(background.green() + (f.green() - background.green()) * a + 0.5),
                  int(background.blue() + (f.blue() - background.blue()) * a + 0.5));
}

CurveChart detailCurve(int width, int height)
{
    CurveChart c;
    c.setSize(width, height);
    c.setColours(kBackground, kFrame);
    c.setTextColour(kFrame);
    c.setTitle(QStringLiteral("总网速(字节/秒)"));
    const int thresholds[4] = {1024, 10240, 51200, 204800};
    const char* labels[4] = {"1K", "10K", "50K", "200K"};
    for (int i = 0; i < 4; ++i)
        c.setLevel(i, thresholds[i], QString::fromLatin1(labels[i]));
    return c;
}

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

} // namespace

TEST(CurveChartPaint, TenKilobytesReachHalfTheHeight)
{
    CurveChart c = detailCurve(205, 86);
    for (int i = 0; i < 150; ++i)
        c.push(10240);
    QImage image = canvas(225, 100);
    {
        QPainter p(&image);
        c.draw(p, 10, 5);
    }
    keepShot(image, "curve_half_height");
    // Band height 21: 10240 is two bands, 42 pixels above the baseline at 5 + 86 - 2 = 89.
    const int x = 10 + 2 + 100 * 2;
    const int curveTop = 89 - 42;
    EXPECT_LE(colourDistance(image.pixelColor(x, curveTop + 6), filledOver(kBackground)), 3);
    EXPECT_LE(colourDistance(image.pixelColor(x, curveTop - 6), kBackground), 3);
    EXPECT_LE(colourDistance(image.pixelColor(x, 5 + 63), filledOver(kFrame)), 3) << "grid line under the curve";
    EXPECT_LE(colourDistance(image.pixelColor(x, 5 + 21), kFrame), 3) << "grid line above it";
    EXPECT_LE(colourDistance(image.pixelColor(10, 40), kFrame), 3) << "frame";
    EXPECT_TRUE(boxHasColour(image, QRect(12, 5, 40, 14), kFrame)) << "label of the top band";
    // The current value, 10.000K, in yellow beside "当前值:".
    EXPECT_TRUE(boxHasColour(image, QRect(10 + 205 - 4 - 56 + 2, 5 + 21, 56, 16), QColor(255, 245, 0)));
}

TEST(CurveChartPaint, EmptyAndNarrowCharts)
{
    CurveChart empty = detailCurve(205, 86);
    QImage image = canvas(205, 86);
    {
        QPainter p(&image);
        empty.draw(p, 0, 0);
    }
    // No curve, and the current value 0 in light grey.
    EXPECT_FALSE(boxHasColour(image, QRect(2, 64, 200, 20), filledOver(kBackground), 3));
    EXPECT_TRUE(boxHasColour(image, QRect(205 - 4 - 56 + 2, 21, 56, 16), QColor(240, 240, 240)));

    CurveChart narrow = detailCurve(36, 86);
    QImage small = canvas(36, 86);
    {
        QPainter p(&small);
        narrow.draw(p, 0, 0);
    }
    keepShot(small, "curve_narrow");
    EXPECT_LE(colourDistance(small.pixelColor(20, 21), kFrame), 3);           // grid lines stay
    EXPECT_FALSE(boxHasColour(small, QRect(1, 22, 34, 12), kFrame, 10));      // but no labels
    narrow.push(204800);
    narrow.push(204800);
    {
        QPainter p(&small);
        narrow.draw(p, 0, 0);
    }
    EXPECT_LE(colourDistance(small.pixelColor(3, 30), filledOver(kBackground)), 3);  // full height
}

TEST(SeriesChartPaint, EachSeriesFillsOnItsOwnScale)
{
    SeriesChart chart;
    chart.setOrigin(0, 0);
    chart.setSize(200, 80);
    chart.setColours(QColor(39, 54, 49), QColor(90, 90, 90));
    chart.setShowTitle(true);
    chart.setTitle(QStringLiteral("CPU"));
    const int cpu = chart.addSeries();
    const int mem = chart.addSeries();
    for (int band = 0; band < 4; ++band) {
        chart.setLevel(cpu, band, unsigned(25 * (band + 1)), QString::number(25 * (band + 1)) + "%");
        chart.setLevel(mem, band, unsigned(1000 * (band + 1)), QString());
    }
    chart.setLevel(5, 0, 1, QStringLiteral("ignored"));
    for (int i = 0; i < 50; ++i) {
        chart.push(cpu, 50);
        chart.push(mem, -10);
    }
    EXPECT_EQ(chart.stats(cpu).samples, 50);
    EXPECT_EQ(chart.stats(cpu).maximum, 50);
    EXPECT_EQ(chart.stats(cpu).minimum, 0);     // starts at 0
    EXPECT_EQ(chart.stats(mem).minimum, -10);
    EXPECT_EQ(chart.stats(cpu).sum, 2500);

    QImage image = canvas(200, 80);
    {
        QPainter p(&image);
        chart.drawSeries(p, cpu, QColor(255, 0, 0), true);
        chart.drawSeries(p, mem, QColor(0, 0, 255), false);
    }
    keepShot(image, "series_chart");
    // 50 % is half of the 80-pixel chart: red up to 40 pixels above the baseline at 78.
    EXPECT_LE(colourDistance(image.pixelColor(60, 78 - 35), QColor(255, 0, 0)), 3);
    EXPECT_LE(colourDistance(image.pixelColor(60, 78 - 45), QColor(39, 54, 49)), 3);
    // The memory series never goes below one pixel high.
    EXPECT_LE(colourDistance(image.pixelColor(60, 77), QColor(0, 0, 255)), 40);
}

TEST(GaugePaint, ReadoutOf2500000ShowsZeroZeroTwoPointThreeInMagenta)
{
    QImage dial(120, 120, QImage::Format_RGB32);
    dial.fill(QColor(20, 20, 20));
    Gauge gauge;
    gauge.setBackground(dial);
    gauge.setReadoutPlacement(0);
    QImage image = canvas(200, 130);
    {
        QPainter p(&image);
        gauge.draw(p, 5, 5, 90, 2500000);
    }
    keepShot(image, "gauge_2500000");
    const QColor pink(255, 100, 255);
    const QPoint o = gauge.readoutOrigin(5, 5);
    EXPECT_EQ(o, QPoint(125, 5 + 60 - 10));
    // Segment centres of a digit cell at x: a top, b upper right, c lower right, d bottom,
    // e lower left, f upper left, g middle.
    const auto lit = [&](int x, char segment) {
        static const std::map<char, QPoint> centre = {{'a', {6, 1}},  {'b', {12, 6}}, {'c', {12, 15}}, {'d', {6, 20}},
                                                      {'e', {1, 15}}, {'f', {1, 6}},  {'g', {6, 10}}};
        const QPoint at = QPoint(x, o.y()) + centre.at(segment);
        return colourDistance(image.pixelColor(at), pink) <= 60;
    };
    // Leading zeros: all but the middle segment.
    for (char s : std::string("abcdef"))
        EXPECT_TRUE(lit(o.x(), s)) << "0 " << s;
    EXPECT_FALSE(lit(o.x(), 'g'));
    // 2: a b g e d.
    for (char s : std::string("abged"))
        EXPECT_TRUE(lit(o.x() + 24, s)) << "2 " << s;
    EXPECT_FALSE(lit(o.x() + 24, 'c'));
    EXPECT_FALSE(lit(o.x() + 24, 'f'));
    // The decimal point and 3: a b c d g.
    EXPECT_LE(colourDistance(image.pixelColor(o.x() + 40, o.y() + 18), pink), 10);
    for (char s : std::string("abcdg"))
        EXPECT_TRUE(lit(o.x() + 45, s)) << "3 " << s;
    EXPECT_FALSE(lit(o.x() + 45, 'e'));
    // The needle points up from its pivot, 64 pixels above the dial's bottom.
    EXPECT_EQ(gauge.pivot(5, 5), QPointF(65, 5 + 120 - 64));
    EXPECT_NEAR(gauge.tip(5, 5, 90).y(), 61 - 40, 1e-9);
    EXPECT_GT(colourDistance(image.pixelColor(65, 61 - 20), QColor(20, 20, 20)), 60);
}
