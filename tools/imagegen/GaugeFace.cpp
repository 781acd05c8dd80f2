#include "GaugeFace.h"

#include "Palette.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

QImage drawGaugeFace(int width, int height, int readoutX, int readoutWidth, const QString& scaleLabel)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient body(0, 0, 0, height);
    body.setColorAt(0, QColor(52, 72, 65));
    body.setColorAt(1, palette::panel);
    painter.setPen(QPen(palette::green, 1.5));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(0.75, 0.75, width - 1.5, height - 1.5), 8, 8);

    // Readout window for three digits, a decimal point and one decimal digit.
    painter.setPen(QPen(QColor(0, 0, 0, 160), 1));
    painter.setBrush(QColor(8, 12, 10));
    painter.drawRoundedRect(QRectF(readoutX - 4, 2.5, readoutWidth + 8, 26), 3, 3);

    // Dial: the arc band the program paints over, with ticks around it.
    const QPointF centre(width / 2.0, height - 2.0);
    painter.setPen(QPen(QColor(0, 0, 0, 120), 20, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(centre.x() - 34, centre.y() - 34, 68, 68), 0, 180 * 16);
    for (int tick = 0; tick <= 10; ++tick) {
        const double angle = std::numbers::pi * tick / 10.0;
        const double inner = tick % 5 == 0 ? 46 : 49;
        const QPointF from(centre.x() - inner * std::cos(angle), centre.y() - inner * std::sin(angle));
        const QPointF to(centre.x() - 54 * std::cos(angle), centre.y() - 54 * std::sin(angle));
        painter.setPen(QPen(tick >= 8 ? palette::orange : palette::greenLight, tick % 5 == 0 ? 2.0 : 1.2));
        painter.drawLine(from, to);
    }
    QFont font;
    font.setPixelSize(9);
    painter.setFont(font);
    painter.setPen(palette::dim);
    painter.drawText(QRectF(2, height - 14, 22, 12), Qt::AlignCenter, "0");
    painter.drawText(QRectF(width - 30, height - 14, 28, 12), Qt::AlignCenter, scaleLabel);
    return image;
}

QImage drawGaugeCap(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shine(size * 0.35, size * 0.35, size * 0.6);
    shine.setColorAt(0, QColor(200, 230, 205));
    shine.setColorAt(1, QColor(20, 60, 35));
    painter.setPen(QPen(palette::green, 1));
    painter.setBrush(shine);
    painter.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    return image;
}

QImage drawRankingIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double unit = size / 24.0;
    const double heights[] = {10, 18, 14};
    const QColor colours[] = {palette::greenLight, palette::selected, palette::orange};
    for (int bar = 0; bar < 3; ++bar) {
        const QRectF rect(unit * (3 + bar * 6.5), unit * (21 - heights[bar]), unit * 5, unit * heights[bar]);
        painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
        painter.setBrush(colours[bar]);
        painter.drawRect(rect);
    }
    painter.setPen(QPen(palette::text, 1.5 * unit));
    painter.drawLine(QPointF(unit * 1.5, unit * 22), QPointF(unit * 22.5, unit * 22));
    return image;
}
