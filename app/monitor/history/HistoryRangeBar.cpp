#include "monitor/history/HistoryRangeBar.h"

#include "views/FittedText.h"
#include "views/Skin.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

namespace orvane {

namespace {

const QColor kBackground(39, 54, 49);
const QColor kText(240, 240, 240);
const QColor kStatusText(165, 200, 170);
const QColor kWarningText(255, 190, 60);
constexpr int kItemHeight = 20;
constexpr int kPadding = 7;   // beside an item's caption
constexpr int kGap = 4;       // between items
constexpr int kGroupGap = 14; // between the ranges, the mode and the rest

} // namespace

HistoryRangeBar::HistoryRangeBar(QWidget* parent)
    : QWidget(parent), m_items(kItems), m_item(skin::color("cbk_topntabitem", QColor(32, 44, 40))),
      m_itemCurrent(skin::color("cbk_topntabitemok", QColor(0, 146, 63))),
      m_line(skin::color("c_topntabline", QColor(0, 156, 12)))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_font = skin::font("f_listitem", skin::value("fh_listitem", 12) + 2);
    layoutItems();
}

QString HistoryRangeBar::itemText(Item item) const
{
    switch (item) {
    case Today: return skin::text("history_today");
    case Last7Days: return skin::text("history_7days");
    case Last30Days: return skin::text("history_30days");
    case Last12Months: return skin::text("history_12months");
    case PreviousMonth: return QStringLiteral("<");
    case Month:
        return m_span.kind == HistorySpanKind::Month ? QString::fromStdString(monthText(m_span)) : skin::text("history_month");
    case NextMonth: return QStringLiteral(">");
    case ByProgram: return skin::text("history_by_program");
    case ByHost: return skin::text("history_by_host");
    case Export: return skin::text("history_export");
    case kItems: break;
    }
    return {};
}

bool HistoryRangeBar::current(Item item) const
{
    switch (item) {
    case Today: return m_span.kind == HistorySpanKind::Today;
    case Last7Days: return m_span.kind == HistorySpanKind::Last7Days;
    case Last30Days: return m_span.kind == HistorySpanKind::Last30Days;
    case Last12Months: return m_span.kind == HistorySpanKind::Last12Months;
    case Month: return m_span.kind == HistorySpanKind::Month;
    case ByProgram: return m_mode == HistoryListMode::Programs;
    case ByHost: return m_mode == HistoryListMode::Hosts;
    default: return false;
    }
}

void HistoryRangeBar::layoutItems()
{
    const QFontMetrics metrics(m_font);
    const int top = (kHeight - kItemHeight) / 2;
    int left = 6;
    for (int i = 0; i < Export; ++i) {
        const Item item = Item(i);
        // The month item is as wide as a month's text, whatever it shows now.
        const int text = std::max(metrics.horizontalAdvance(itemText(item)),
                                  item == Month ? metrics.horizontalAdvance(QStringLiteral("0000-00")) : 0);
        const int width = text + 2 * kPadding;
        m_items[std::size_t(i)] = QRect(left, top, width, kItemHeight);
        left += width + (i == Last12Months || i == NextMonth ? kGroupGap : kGap);
    }
    const int exportWidth = metrics.horizontalAdvance(itemText(Export)) + 2 * kPadding;
    const int exportLeft = std::max(left, width() - 6 - exportWidth);
    m_items[Export] = QRect(exportLeft, top, exportWidth, kItemHeight);
    m_statusBox = QRect(left, top, std::max(exportLeft - kGroupGap - left, 0), kItemHeight);
    update();
}

void HistoryRangeBar::showSpan(const HistorySpan& span)
{
    m_span = span;
    update();
}

void HistoryRangeBar::showMode(HistoryListMode mode)
{
    m_mode = mode;
    update();
}

void HistoryRangeBar::setStatus(const QString& text, bool warning)
{
    if (text == m_status && warning == m_warning)
        return;
    m_status = text;
    m_warning = warning;
    update(m_statusBox);
}

void HistoryRangeBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    p.setFont(m_font);
    for (int i = 0; i < kItems; ++i) {
        const QRect& box = m_items[std::size_t(i)];
        const bool on = current(Item(i));
        p.fillRect(box, on ? m_itemCurrent : m_item);
        p.setPen(on ? m_itemCurrent.lighter(150) : m_line);
        p.drawRect(box.adjusted(0, 0, -1, -1));
        p.setPen(kText);
        drawFittedText(p, box.adjusted(2, 0, -2, 0), Qt::AlignCenter, itemText(Item(i)));
    }
    if (!m_status.isEmpty() && m_statusBox.width() > 0) {
        p.setPen(m_warning ? kWarningText : kStatusText);
        drawFittedText(p, m_statusBox, Qt::AlignRight | Qt::AlignVCenter, m_status);
    }
}

void HistoryRangeBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    for (int i = 0; i < kItems; ++i) {
        if (m_items[std::size_t(i)].contains(at)) {
            emit itemClicked(i);
            return;
        }
    }
}

void HistoryRangeBar::resizeEvent(QResizeEvent*)
{
    layoutItems();
}

void HistoryRangeBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        layoutItems();
    QWidget::changeEvent(event);
}

} // namespace orvane
