#include "monitor/history/HistoryChart.h"

#include "core/history/HistoryRows.h"
#include "core/history/HistorySpan.h"
#include "views/FittedText.h"
#include "views/Skin.h"

#include <QEvent>
#include <QPainter>

namespace orvane {

namespace {

const QColor kBackground(32, 44, 40);
const QColor kPlot(24, 34, 31);
const QColor kFrame(31, 177, 107);
const QColor kGrid(31, 177, 107, 70);
const QColor kText(210, 210, 216);
const QColor kCoveredText(255, 190, 60);
constexpr int kHeader = 18;     // the legend and range line
constexpr int kScaleWidth = 64; // the byte scale left of the bars
constexpr int kFooter = 16;     // the time labels
constexpr int kMargin = 6;

} // namespace

const QColor HistoryChart::kReceived(31, 177, 107);
const QColor HistoryChart::kSent(214, 134, 36);

HistoryChart::HistoryChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    const int cell = skin::value("fh_listitem", 12);
    m_font = skin::font("f_listitem", cell + 1);
    m_smallFont = skin::font("f_listitem", cell);
}

void HistoryChart::setSeries(std::vector<history::SeriesPoint> points, history::Step step,
                             const history::TimeRange& range, const history::TimeRange& covered)
{
    m_points = std::move(points);
    m_step = step;
    m_range = range;
    m_covered = covered;
    m_message.clear();
    relayout();
}

void HistoryChart::setMessage(const QString& message)
{
    m_message = message;
    update();
}

QRect HistoryChart::plotRect() const
{
    return QRect(kMargin + kScaleWidth, kHeader + 4, std::max(width() - 2 * kMargin - kScaleWidth, 0),
                 std::max(height() - kHeader - 4 - kFooter, 0));
}

int HistoryChart::labelWidth() const
{
    const QFontMetrics metrics(m_smallFont);
    const QString sample = QString::fromStdString(barLabel(m_points.empty() ? 0 : m_points.front().from, m_step));
    return metrics.horizontalAdvance(sample) + 6;
}

void HistoryChart::relayout()
{
    const QRect plot = plotRect();
    m_layout = layoutBars(m_points, std::max(plot.width() - 2, 0), std::max(plot.height() - 1, 0), labelWidth());
    update();
}

QString HistoryChart::coveredText() const
{
    if (!coveredDiffers(m_range, m_covered))
        return {};
    return skin::text("history_covered").arg(QString::fromStdString(rangeText(m_covered)));
}

void HistoryChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    const QRect plot = plotRect();
    if (plot.width() <= 0 || plot.height() <= 0)
        return;
    p.fillRect(plot, kPlot);

    // The header: the legend at the left, the range (or the span answered) at the right.
    p.setFont(m_font);
    const QFontMetrics metrics(m_font);
    int x = kMargin;
    for (const auto& [colour, key] : {std::pair{kReceived, "history_received"}, std::pair{kSent, "history_sent"}}) {
        p.fillRect(QRect(x, kHeader / 2 - 4, 10, 10), colour);
        x += 14;
        const QString text = skin::text(key);
        const QRect box(x, 0, metrics.horizontalAdvance(text) + 2, kHeader);
        p.setPen(kText);
        drawFittedText(p, box, Qt::AlignLeft | Qt::AlignVCenter, text);
        x = box.right() + 12;
    }
    const QString covered = coveredText();
    const QRect rangeBox(x, 0, std::max(width() - kMargin - x, 0), kHeader);
    p.setPen(covered.isEmpty() ? kText : kCoveredText);
    if (!m_range.empty())
        drawFittedText(p, rangeBox, Qt::AlignRight | Qt::AlignVCenter,
                       covered.isEmpty() ? QString::fromStdString(rangeText(m_range)) : covered);

    // The scale: a grid line and its value at each quarter.
    p.setFont(m_smallFont);
    for (int i = 1; i <= HistoryBarLayout::kGridLines; ++i) {
        const int y = plot.bottom() - plot.height() * i / HistoryBarLayout::kGridLines;
        p.setPen(kGrid);
        p.drawLine(plot.left(), y, plot.right(), y);
        if (m_layout.scaleTop == 0)
            continue;
        const ColoredText value = historyBytes(m_layout.scaleTop / HistoryBarLayout::kGridLines * uint64_t(i));
        p.setPen(kText);
        drawFittedText(p, QRect(kMargin, y - 7, kScaleWidth - 6, 14), Qt::AlignRight | Qt::AlignVCenter,
                       QString::fromStdString(value.text));
    }
    p.setPen(kFrame);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());

    if (!m_message.isEmpty()) {
        p.setFont(m_font);
        p.setPen(kText);
        drawFittedText(p, plot.adjusted(8, 0, -8, 0), Qt::AlignCenter, m_message);
        return;
    }
    const int label = labelWidth();
    for (const HistoryBar& bar : m_layout.bars) {
        const int left = plot.left() + 1 + bar.x;
        const int base = plot.bottom();
        if (bar.receivedHeight > 0)
            p.fillRect(QRect(left, base - bar.receivedHeight, bar.width, bar.receivedHeight), kReceived);
        if (bar.sentHeight > 0)
            p.fillRect(QRect(left, base - bar.receivedHeight - bar.sentHeight, bar.width, bar.sentHeight), kSent);
        if (bar.labelled) {
            p.setPen(kText);
            const QRect box(left + bar.width / 2 - label / 2, plot.bottom() + 2, label, kFooter - 2);
            drawFittedText(p, box, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(barLabel(bar.from, m_step)));
        }
    }
}

void HistoryChart::resizeEvent(QResizeEvent*)
{
    relayout();
}

void HistoryChart::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        update();
    QWidget::changeEvent(event);
}

} // namespace orvane
