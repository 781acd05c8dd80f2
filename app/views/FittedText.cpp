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

// The smallest size, from the painter's down to kSmallestFittedPixels, at which fits holds;
// kSmallestFittedPixels when none does.
QFont fittedFont(const QFont& original, const std::function<bool(const QFontMetrics&)>& fits)
{
    QFont font = original;
    int pixels = QFontInfo(original).pixelSize();
    while (!fits(QFontMetrics(font)) && pixels > kSmallestFittedPixels)
        font.setPixelSize(--pixels);
    return font;
}

void draw(QPainter& painter, const QFont& font, const QRect& box, int flags, const QString& shown, const QString& text)
{
    const QFont original = painter.font();
    painter.setFont(font);
    painter.drawText(box, flags, shown);
    painter.setFont(original);
    if (!observer())
        return;
    const QFontMetrics metrics(font);
    const QRect area = metrics.boundingRect(box, flags, shown);
    // A line's width is its advance, what the fitting measured.
    const int width = flags & Qt::TextSingleLine ? metrics.horizontalAdvance(shown) : area.width();
    observer()({box, shown, width, area.height(), shown != text, painter.deviceTransform().mapRect(area)});
}

} // namespace

void setFittedTextObserver(std::function<void(const FittedTextRecord&)> watcher)
{
    observer() = std::move(watcher);
}

void drawFittedText(QPainter& painter, const QRect& box, int flags, const QString& text)
{
    flags |= Qt::TextSingleLine;
    const QFont font = fittedFont(painter.font(), [&](const QFontMetrics& m) { return m.horizontalAdvance(text) <= box.width(); });
    const QFontMetrics metrics(font);
    const QString shown =
        metrics.horizontalAdvance(text) <= box.width() ? text : metrics.elidedText(text, Qt::ElideRight, box.width());
    draw(painter, font, box, flags, shown, text);
}

void drawFittedParagraph(QPainter& painter, const QRect& box, int flags, const QString& text)
{
    flags = (flags | Qt::TextWordWrap) & ~Qt::TextSingleLine;
    auto fits = [&](const QFontMetrics& m, const QString& t) {
        const QRect need = m.boundingRect(box, flags, t);
        return need.height() <= box.height() && need.width() <= box.width();
    };
    const QFont font = fittedFont(painter.font(), [&](const QFontMetrics& m) { return fits(m, text); });
    const QFontMetrics metrics(font);
    QString shown = text;
    if (!fits(metrics, text)) {
        // The longest beginning that fits with an ellipsis after it.
        qsizetype low = 0, high = text.size();
        while (low < high) {
            const qsizetype mid = (low + high + 1) / 2;
            if (fits(metrics, text.left(mid).trimmed() + QChar(0x2026)))
                low = mid;
            else
                high = mid - 1;
        }
        shown = text.left(low).trimmed() + QChar(0x2026);
    }
    draw(painter, font, box, flags, shown, text);
}

} // namespace orvane
