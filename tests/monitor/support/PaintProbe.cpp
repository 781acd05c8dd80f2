#include "PaintProbe.h"

#include <QPainter>

#include <cstdlib>

namespace paintprobe {

QImage render(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

int countColour(const QImage& image, const QRect& box, const QColor& colour, int tolerance)
{
    int count = 0;
    const QRect area = box.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance && std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                ++count;
        }
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

void save(const QImage& image, const QString& name)
{
    image.save(name + QStringLiteral(".png"));
}

} // namespace paintprobe
