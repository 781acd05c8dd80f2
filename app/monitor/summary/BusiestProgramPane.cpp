#include "monitor/summary/BusiestProgramPane.h"

#include "core/tick/TickSnapshot.h"
#include "core/ValueFormat.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "views/TickFeed.h"

#include <QFontMetrics>
#include <QPainter>
#include <QEvent>

namespace orvane {

namespace {

const QColor kBackground(39, 54, 49);
const QColor kText(210, 210, 216);
constexpr int kLineHeight = 16 + 2;

QColor fromRgb(Rgb rgb)
{
    return QColor(rgb.r, rgb.g, rgb.b);
}

} // namespace

BusiestProgramPane::BusiestProgramPane(const TickFeed& ticks, QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(QStringLiteral("busiestProgramPane"));
    m_font = skin::fontOfFace(QStringLiteral("Tahoma"), 16);
    m_font.setWeight(QFont::Thin);
    loadTexts();
    setToolTipDuration(20000);
    connect(&ticks, &TickFeed::published, this, &BusiestProgramPane::showTick);
}

BusiestProgramPane::LineBoxes BusiestProgramPane::lineBoxes(int line) const
{
    const QRect area = rect().adjusted(5, 2, -5, -2);
    const int top = area.top() + 8 + line * (kLineHeight + 4);
    const int x = area.left();
    const QRect caption(QPoint(x + 5, top), QPoint(x + 157 - 1, top + kLineHeight - 1));
    const QRect name(caption.right() + 1, top, 110, kLineHeight);
    const QRect speed(QPoint(name.right() + 1, top), QPoint(area.right(), top + kLineHeight - 1));
    return {caption, name, speed};
}

void BusiestProgramPane::showTick(const TickSnapshot& snapshot)
{
    m_busiest[0] = snapshot.machine.busiestDisk;
    m_busiest[1] = snapshot.machine.busiestNet;
    update();
}

void BusiestProgramPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setFont(m_font);
    constexpr int kFlags = Qt::AlignVCenter | Qt::TextSingleLine;
    for (int line = 0; line < 2; ++line) {
        const LineBoxes boxes = lineBoxes(line);
        painter.setPen(kText);
        drawFittedText(painter, boxes.caption, Qt::AlignLeft | kFlags, m_captions[line]);
        const QString name = QString::fromStdString(m_busiest[line].name);
        drawFittedText(painter, boxes.name, Qt::AlignHCenter | kFlags, name);
        const ColoredText speed = formatValue(m_busiest[line].speed, ValueUse::BusiestSpeed);
        painter.setPen(fromRgb(speed.colour));
        drawFittedText(painter, boxes.speed, Qt::AlignRight | kFlags, QString::fromStdString(speed.text));
    }
}

void BusiestProgramPane::loadTexts()
{
    m_captions[0] = skin::text("sum_curr_process_disk");
    m_captions[1] = skin::text("sum_curr_process_net");
    setToolTip(QStringLiteral("<table width=\"250\"><tr><td>%1</td></tr></table>")
                   .arg(skin::text("tip_sum_process").toHtmlEscaped()));
}

void BusiestProgramPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        loadTexts();
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
