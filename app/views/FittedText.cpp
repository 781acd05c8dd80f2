#include "views/FittedText.h"

#include <QFontMetrics>
#include <QPainter>

namespace orvane {

namespace {
std::function<void(const FittedTextRecord&)>& observer()
{
    static std::function<void(const FittedTextRecord&)> instance;
    return instance;
}
} // namespace

void setFittedTextObserver(std::function<void(const FittedTextRecord&)> watcher)
{
    observer() = std::move(watcher);
}

void drawFittedText(QPainter& painter, const QRect& box, int flags, const QString& text)
{
    const QFont original = painter.font();
    QFont font = original;
    QString shown = text;
    int width = QFontMetrics(font).horizontalAdvance(shown);
    if (width > box.width() && !text.isEmpty()) {
        int pixels = QFontInfo(original).pixelSize();
        while (width > box.width() && pixels > kSmallestFittedPixels) {
            font.setPixelSize(--pixels);
            width = QFontMetrics(font).horizontalAdvance(shown);
        }
        if (width > box.width()) {
            shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, box.width());
            width = QFontMetrics(font).horizontalAdvance(shown);
        }
        painter.setFont(font);
    }
    painter.drawText(box, flags | Qt::TextSingleLine, shown);
    painter.setFont(original);
    if (observer())
        observer()({box, shown, width, shown != text});
}

} // namespace orvane
