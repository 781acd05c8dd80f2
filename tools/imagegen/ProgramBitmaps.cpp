#include "ProgramBitmaps.h"

#include "Palette.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// Three rising signal bars inside a rounded square: the product's mark.
void drawMark(QPainter& painter, const QRectF& box)
{
    painter.setPen(Qt::NoPen);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, palette::greenLight);
    fill.setColorAt(0.5, palette::green);
    fill.setColorAt(1, QColor(0, 98, 8));
    painter.setBrush(fill);
    painter.drawRoundedRect(box, box.width() * 0.2, box.width() * 0.2);
    const double unit = box.width() / 16.0;
    painter.setBrush(QColor(245, 250, 245));
    for (int bar = 0; bar < 3; ++bar) {
        const double height = unit * (4 + bar * 3.5);
        painter.drawRect(QRectF(box.left() + unit * (3 + bar * 3.7), box.bottom() - unit * 2.5 - height, unit * 2.6, height));
    }
}

} // namespace

QImage drawLogo(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(palette::titleBar);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawMark(painter, QRectF(1, 1, height - 2, height - 2));
    QFont font;
    font.setPixelSize(height - 5);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(palette::text);
    painter.drawText(QRectF(height + 3, 0, width - height - 3, height), Qt::AlignVCenter | Qt::AlignLeft, "Lumivex");
    return image;
}

QImage drawCaptionButton(CaptionButton kind, bool hover, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(palette::titleBar);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor face = !hover ? QColor(80, 82, 81) : kind == CaptionButton::Close ? QColor(200, 50, 30) : palette::selected;
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 3, 3);
    painter.setPen(QPen(QColor(240, 240, 240), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    const QPointF c(width / 2.0, height / 2.0);
    const double r = std::min(width, height) * 0.25;
    switch (kind) {
    case CaptionButton::Minimize:
        painter.drawLine(QPointF(c.x() - r, c.y() + r * 0.8), QPointF(c.x() + r, c.y() + r * 0.8));
        break;
    case CaptionButton::Maximize:
        painter.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
        painter.drawLine(QPointF(c.x() - r, c.y() - r + 1.2), QPointF(c.x() + r, c.y() - r + 1.2));
        break;
    case CaptionButton::Close:
        painter.drawLine(QPointF(c.x() - r, c.y() - r), QPointF(c.x() + r, c.y() + r));
        painter.drawLine(QPointF(c.x() + r, c.y() - r), QPointF(c.x() - r, c.y() + r));
        break;
    }
    return image;
}

QImage drawPaneCloseButton(bool hover, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(palette::selected);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(hover ? QColor(200, 50, 30) : QColor(0, 110, 45));
    painter.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    painter.setPen(QPen(QColor(245, 245, 245), 1.5, Qt::SolidLine, Qt::RoundCap));
    const double m = size * 0.3;
    painter.drawLine(QPointF(m, m), QPointF(size - m, size - m));
    painter.drawLine(QPointF(size - m, m), QPointF(m, size - m));
    return image;
}

QImage drawFloatBackground(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, QColor(52, 72, 65));
    fill.setColorAt(0.5, palette::background);
    fill.setColorAt(1, palette::rowEven);
    painter.fillRect(image.rect(), fill);
    painter.setPen(palette::green);
    painter.drawRect(QRectF(0.5, 0.5, width - 1, height - 1));
    drawMark(painter, QRectF(4, 3, height - 6, height - 6));
    QFont font;
    font.setPixelSize(height - 11);
    painter.setFont(font);
    painter.setPen(palette::text);
    // The first value starts at x = 70.
    painter.drawText(QRectF(height - 1, 0, 69 - height, height), Qt::AlignVCenter | Qt::AlignLeft, "Lumivex");
    painter.setPen(QColor(0, 0, 0, 90));
    for (int x : {136, 210, 308, 402})
        painter.drawLine(QPointF(x + 0.5, 4), QPointF(x + 0.5, height - 4));
    return image;
}

QImage drawAppIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawMark(painter, QRectF(0.5, 0.5, size - 1, size - 1));
    return image;
}
