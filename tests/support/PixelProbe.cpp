#include "PixelProbe.h"

#include <QDir>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

int colourDistance(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

::testing::AssertionResult colourNear(QColor actual, QColor expected, int tolerance)
{
    if (colourDistance(actual, expected) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour " << actual.red() << "," << actual.green() << "," << actual.blue()
                                         << " is not within " << tolerance << " of " << expected.red() << ","
                                         << expected.green() << "," << expected.blue();
}

QImage renderOf(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

bool rowHasColour(const QImage& image, int y, int x0, int x1, QColor colour, int tolerance)
{
    for (int x = std::max(x0, 0); x < std::min(x1, image.width()); ++x)
        if (colourDistance(image.pixelColor(x, y), colour) <= tolerance)
            return true;
    return false;
}

bool boxHasColour(const QImage& image, QRect box, QColor colour, int tolerance)
{
    for (int y = std::max(box.top(), 0); y <= std::min(box.bottom(), image.height() - 1); ++y)
        if (rowHasColour(image, y, box.left(), box.right() + 1, colour, tolerance))
            return true;
    return false;
}

int countColour(const QImage& image, const QRect& box, const QColor& colour, int tolerance)
{
    int count = 0;
    const QRect area = box.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += colourDistance(image.pixelColor(x, y), colour) <= tolerance;
    return count;
}

bool showsText(const QImage& image, const QRect& box, const QFont& font, int flags, const QString& text,
               const QColor& pen, const QColor& background)
{
    QImage expected(image.size(), QImage::Format_ARGB32);
    expected.fill(background);
    {
        QPainter painter(&expected);
        painter.setFont(font);
        painter.setPen(pen);
        painter.drawText(box, flags, text);
    }
    const QRect area = box.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != expected.pixel(x, y))
                return false;
    return true;
}

void keepShot(const QImage& image, const QString& name)
{
    QDir().mkpath(QStringLiteral(LUMIVEX_SHOT_DIR));
    image.save(QStringLiteral(LUMIVEX_SHOT_DIR "/") + name + QStringLiteral(".png"));
}
