#include "views/TabStrip.h"

#include "core/lists/WidthFit.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "views/ViewMetrics.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <iterator>

namespace orvane {

namespace {

const QColor kBackground(39, 54, 49);
const QColor kFrame(168, 102, 68);
const QColor kCurrentColors[3] = {{158, 207, 163}, {0, 158, 15}, {0, 156, 12}};
const QColor kOtherColors[3] = {{119, 119, 119}, {79, 81, 80}, {39, 39, 39}};
const QColor kCurrentText(240, 240, 240);
const QColor kOtherText(165, 165, 165);
constexpr int kWidths[] = {60, 60, 60, 74, 74, 74};
constexpr int kGap = 5;
constexpr int kTabHeight = 20;
constexpr int kCaptionPadding = 6;   // free on each side of a caption, where there is room
constexpr int kSmallestFont = 9;     // pixels
constexpr int kTextInset = 4;        // a caption keeps at least this far from its tab's sides

// The UI text keys of the tabs, in the order of the pages they show (Page).
const char* const kTexts[] = {"tabname_tcp", "tabname_udp", "tabname_chat", "tabname_topn", "tabname_netconn",
                              "tabname_history"};
static_assert(std::size(kWidths) == TabStrip::kCount && std::size(kTexts) == TabStrip::kCount, "one of each per tab");

void fillGradient(QPainter& painter, const QRect& band, const QColor& from, const QColor& to)
{
    if (band.isEmpty())
        return;
    QLinearGradient gradient(band.topLeft(), band.bottomLeft());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(band, gradient);
}

} // namespace

TabStrip::TabStrip(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_firstLeft = skin::value("sl_firsttabx", 5);
    // The tab window's height: the tab area below the summary window.
    const ViewMetrics metrics = ViewMetrics::fromSkin();
    const int height = metrics.tabAreaHeight - metrics.summaryHeight;
    m_bottom = height > 0 ? height : kTabHeight;
    m_font = skin::font("f_lhc", 14);
    layoutTabs();
}

QString TabStrip::tabText(int index) const
{
    return index >= 0 && index < kCount ? skin::text(kTexts[index]) : QString();
}

void TabStrip::layoutTabs()
{
    // Before the strip has a width, the tabs take the width they ask for.
    const int room = width() > 0 ? width() - m_firstLeft - (kCount - 1) * kGap : 1 << 20;
    m_fitted = m_font;
    std::vector<int> widths;
    for (;;) {
        const QFontMetrics metrics(m_fitted);
        WidthItem items[kCount];
        int minimum = 0;
        for (int i = 0; i < kCount; ++i) {
            const int text = metrics.horizontalAdvance(tabText(i));
            // The skin's width when the caption fits in it, else room for the caption.
            const int preferred = text + 6 <= kWidths[i] ? kWidths[i] : text + 2 + 2 * kCaptionPadding;
            const int least = text + 2 * kTextInset;
            items[i] = {preferred, least, false};
            minimum += least;
        }
        widths = fitWidths(items, room);
        if (minimum <= room || m_fitted.pixelSize() <= kSmallestFont)
            break;
        m_fitted.setPixelSize(m_fitted.pixelSize() - 1);
    }
    int left = m_firstLeft;
    for (int i = 0; i < kCount; ++i) {
        m_tabs[i] = QRect(left, m_bottom - kTabHeight, widths[std::size_t(i)], kTabHeight);
        left += widths[std::size_t(i)] + kGap;
    }
    update();
}

void TabStrip::resizeEvent(QResizeEvent*)
{
    layoutTabs();
}

void TabStrip::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        layoutTabs();
    QWidget::changeEvent(event);
}

void TabStrip::select(int index)
{
    if (index >= 0 && index < kCount) {
        m_current = index;
        update();
    }
}

void TabStrip::showPage(Page page)
{
    if (m_current == tabOf(page))
        return;
    m_current = tabOf(page);
    update();
}

QRect TabStrip::tabRect(int index) const
{
    return index >= 0 && index < kCount ? m_tabs[index] : QRect();
}

void TabStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setFont(m_fitted);
    for (int i = 0; i < kCount; ++i) {
        const QRect& tab = m_tabs[i];
        const QColor* colors = i == m_current ? kCurrentColors : kOtherColors;
        const int half = tab.height() / 2;
        fillGradient(painter, QRect(tab.left(), tab.top(), tab.width(), half), colors[0], colors[1]);
        fillGradient(painter, QRect(tab.left(), tab.top() + half, tab.width(), tab.height() - half), colors[1], colors[2]);
        // Left, top and right edges; the bottom stays open towards the page.
        painter.setPen(kFrame);
        painter.drawLine(tab.bottomLeft(), tab.topLeft());
        painter.drawLine(tab.topLeft(), tab.topRight());
        painter.drawLine(tab.topRight(), tab.bottomRight());
        if (tab.width() > 0) {
            painter.setPen(i == m_current ? kCurrentText : kOtherText);
            drawFittedText(painter, tab.adjusted(kTextInset, 0, -kTextInset, 0), Qt::AlignCenter, tabText(i));
        }
    }
}

void TabStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    for (int i = 0; i < kCount; ++i) {
        if (m_tabs[i].contains(pos)) {
            m_current = i;
            emit tabClicked(i);
            break;
        }
    }
    update();
}

} // namespace orvane
