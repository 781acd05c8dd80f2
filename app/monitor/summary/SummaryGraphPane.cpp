#include "monitor/summary/SummaryGraphPane.h"

#include "core/tick/TickSnapshot.h"
#include "core/ValueFormat.h"
#include "views/Skin.h"
#include "views/TickFeed.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QEvent>

#include <algorithm>

namespace orvane {

namespace {

const QColor kBackground(31, 26, 23);
const QColor kChartBackground(39, 54, 49);
const QColor kChartFrame(31, 177, 107);
const QColor kTitle(218, 218, 226);
const QColor kFirstRow(200, 200, 180);
const QColor kSecondRow(180, 180, 255);
const QColor kFirstFill(51, 221, 140, 160);
const QColor kSecondFill(100, 100, 255, 160);
constexpr int kTipDurationMs = 20000;
constexpr int kCaptionGap = 3;        // between a speed's caption and its value
constexpr int kScaleLabelWidth = 40;  // the scale's labels on the left of a panel

struct Level {
    unsigned threshold;
    const char* label;
};
constexpr Level kPercent[4] = {{25, "25%"}, {50, "50%"}, {75, "75%"}, {100, "100%"}};
constexpr Level kDisk[4] = {{102400, "100K"}, {1048576, "1M"}, {10485760, "10M"}, {104857600, "100M"}};
constexpr Level kNetwork[4] = {{51200, "50K"}, {512000, "500k"}, {1048576, "1M"}, {10485760, "10M"}};

QString text(const char* key)
{
    return skin::text(key);
}

QColor fromRgb(Rgb rgb)
{
    return QColor(rgb.r, rgb.g, rgb.b);
}

// A tooltip text wrapped to 250 pixels.
QString wrappedTip(const QString& tip)
{
    return QStringLiteral("<table width=\"250\"><tr><td>%1</td></tr></table>").arg(tip.toHtmlEscaped());
}

} // namespace

SummaryGraphPane::SummaryGraphPane(const TickFeed& ticks, QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setObjectName(QStringLiteral("summaryGraphPane"));
    m_chart.setStep(2);
    m_chart.setColours(kChartBackground, kChartFrame);
    m_chart.setTextColour(kTitle);
    const Level* scales[6] = {kPercent, kPercent, kDisk, kDisk, kNetwork, kNetwork};
    for (int s = 0; s < 6; ++s) {
        const int series = m_chart.addSeries();
        for (int band = 0; band < 4; ++band)
            m_chart.setLevel(series, band, scales[s][band].threshold, QString::fromLatin1(scales[s][band].label));
    }
    loadTexts();
    connect(&ticks, &TickFeed::published, this, &SummaryGraphPane::showTick);
}

void SummaryGraphPane::loadTexts()
{
    m_titles[0] = text("sum_cpu_usage");
    m_titles[1] = text("sum_disk_rw");
    m_titles[2] = text("sum_net_speed");
    m_captions[0] = text("sum_read");
    m_captions[1] = text("sum_write");
    m_captions[2] = text("sum_up");
    m_captions[3] = text("sum_down");
    m_tips[0] = text("tip_cpu_mem_usage");
    m_tips[1] = text("tip_disk_graph");
    m_tips[2] = text("tip_net_graph");
}

void SummaryGraphPane::showTick(const TickSnapshot& snapshot)
{
    const MachineFigures& f = snapshot.machine;
    m_cpu = f.cpuPercent;
    m_memory = f.memoryPercent;
    m_speeds[0] = f.diskRead;
    m_speeds[1] = f.diskWrite;
    m_speeds[2] = f.upload;
    m_speeds[3] = f.download;
    m_chart.push(0, m_cpu);
    m_chart.push(1, m_memory);
    for (int i = 0; i < 4; ++i)
        m_chart.push(2 + i, m_speeds[i]);
    if (snapshot.view.shown)
        update();
}

QRect SummaryGraphPane::panelRect(int index) const
{
    const int c = std::max((width() - 15) / 3, 120);
    return QRect(index * (c + 5), 2, c, std::max(height() - 4, 1));
}

int SummaryGraphPane::panelAt(const QPoint& point) const
{
    for (int i = 0; i < 3; ++i)
        if (panelRect(i).contains(point))
            return i;
    return -1;
}

void SummaryGraphPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    for (int i = 0; i < 3; ++i)
        paintPanel(painter, i);
}

void SummaryGraphPane::paintPanel(QPainter& painter, int index)
{
    const QRect panel = panelRect(index);
    const int c = panel.width();
    const int first = 2 * index;
    m_chart.setOrigin(panel.x(), panel.y());
    m_chart.setSize(c, panel.height());
    m_chart.drawFrame(painter, first);
    m_chart.drawSeries(painter, first, kFirstFill, false);
    m_chart.drawSeries(painter, first + 1, kSecondFill, false);
    m_chart.drawLabel(painter, 0, 40, m_titles[index], kTitle, Qt::AlignRight);
    if (index == 0) {
        m_chart.drawLabel(painter, 1, 40, QString::asprintf("CPU: %3i", m_cpu), kFirstRow, Qt::AlignRight);
        m_chart.drawLabel(painter, 2, 40, QString::asprintf("Mem: %3i", m_memory), kSecondRow, Qt::AlignRight);
        return;
    }
    const int captionX = index == 1 ? c - 65 : c - 75;
    const QString* captions = &m_captions[index == 1 ? 0 : 2];
    const double* speeds = &m_speeds[index == 1 ? 0 : 2];
    const QFontMetrics metrics(m_chart.labelFont());
    for (int row = 0; row < 2; ++row) {
        const ColoredText speed = formatValue(speeds[row], ValueUse::PanelSpeed);
        const QString value = QString::fromStdString(speed.text);
        m_chart.drawLabel(painter, 1 + row, c - 80, value, fromRgb(speed.colour), Qt::AlignRight);
        // The caption at its place, or further left when a wide value (or a long caption)
        // needs the room; never left of the scale's labels.
        const QString caption = captions[row].trimmed();
        const int captionRight = c - metrics.horizontalAdvance(value) - kCaptionGap;
        const int left = std::max(kScaleLabelWidth, std::min(captionX, captionRight - metrics.horizontalAdvance(caption)));
        m_chart.drawLabel(painter, 1 + row, left, caption, row == 0 ? kFirstRow : kSecondRow, Qt::AlignLeft,
                          std::max(captionRight - left, 1));
    }
}

void SummaryGraphPane::mouseMoveEvent(QMouseEvent* event)
{
    const int panel = panelAt(event->position().toPoint());
    if (panel == m_hovered)
        return;
    m_hovered = panel;
    if (panel < 0)
        QToolTip::hideText();
}

void SummaryGraphPane::leaveEvent(QEvent*)
{
    m_hovered = -1;
    QToolTip::hideText();
}

bool SummaryGraphPane::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int panel = panelAt(help->pos());
        if (panel < 0)
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), wrappedTip(m_tips[panel]), this, panelRect(panel), kTipDurationMs);
        return true;
    }
    return QWidget::event(event);
}

void SummaryGraphPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit curvesRequested();
}

void SummaryGraphPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        loadTexts();
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
