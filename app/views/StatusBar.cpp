#include "views/StatusBar.h"

#include "core/tick/TickSnapshot.h"
#include "core/ValueFormat.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "views/TickFeed.h"

#include <QLocale>
#include <QPainter>
#include <QEvent>

#include <algorithm>

namespace orvane {

namespace {

const char* const kLabelKeys[StatusBar::kRows][StatusBar::kColumns] = {
    {"sendbytes", "sendpackets", "tcpips"},
    {"recvbytes", "recvpackets", "udpips"},
};
constexpr int kValueInset = 3;  // keeps right-aligned values off the box's edge

double sum(const double (&values)[3])
{
    return values[0] + values[1] + values[2];
}

} // namespace

StatusBar::StatusBar(const TickFeed& ticks, QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    loadSkin();
    connect(&ticks, &TickFeed::published, this, &StatusBar::showTick);
}

void StatusBar::showTick(const TickSnapshot& snapshot)
{
    updateTotals(snapshot.totals);
    if (snapshot.view.shown)
        update();
}

void StatusBar::loadSkin()
{
    m_background = skin::color("cbk_statusbar", QColor(39, 54, 49));
    m_boxColor = skin::color("cbk_statusbaritem", QColor(20, 28, 25));
    m_labelColor = skin::color("cf_statusbar", QColor(210, 210, 216));
    m_valueColor = skin::color("cf_statusbardata", QColor(0, 230, 90));
    m_font = skin::font("f_statusbar", skin::value("fh_statusbar", 12, 64));
    m_rowHeight = skin::value("sh_statuslabel", 18, 200);
    m_labelWidth = skin::value("sw_statuslabel", 100, 800);
    m_valueWidth = skin::value("sw_statusedit", 84, 800);
    m_labelGap = skin::offset("sw_statuslediv", 4, 200);
    m_cellGap = skin::offset("sw_statusdiv", 12, 200);
    m_rowGap = skin::offset("sh_statusdiv", 4, 200);
    m_minLeft = skin::offset("sl_tabwndx", 0, 200);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column)
            m_labels[row][column] = skin::text(kLabelKeys[row][column]);
    }
    m_chatLabel = skin::text("chatips");
    update();
}

void StatusBar::showFound(XTrafficKind kind, int shown, int total)
{
    m_filtered = true;
    m_foundKind = kind;
    m_found = shown;
    m_foundOf = total;
    update();
}

void StatusBar::clearFound()
{
    if (!m_filtered)
        return;
    m_filtered = false;
    update();
}

int StatusBar::foundRow() const
{
    if (!m_filtered)
        return -1;
    return m_foundKind == kTrafficUdp ? 1 : 0;
}

QString StatusBar::labelText(int row, int column) const
{
    if (column == 2 && row == foundRow() && m_foundKind == kTrafficChat)
        return m_chatLabel;
    return m_labels[row][column];
}

void StatusBar::updateTotals(const TrafficTotals& totals)
{
    m_sentBytes = sum(totals.sentBytes);
    m_recvBytes = sum(totals.recvBytes);
    m_sentPackets = sum(totals.sentPackets);
    m_recvPackets = sum(totals.recvPackets);
    m_tcpAddresses = int(totals.addresses[kTrafficTcp]);
    m_udpAddresses = int(totals.addresses[kTrafficUdp]);
}

QPoint StatusBar::origin() const
{
    const int cells = 2 * (m_minLeft + 2 * (m_labelWidth + m_valueWidth + m_labelGap));
    const int x = std::max(m_minLeft, (width() - 3 * m_cellGap - cells) / 2);
    const int y = std::max(0, (height() - 2 * m_rowHeight - m_rowGap) / 2 + 1);
    return {x, y};
}

QRect StatusBar::labelRect(int row, int column) const
{
    const QPoint start = origin();
    const int left = start.x() + column * (m_labelWidth + m_labelGap + m_valueWidth + m_cellGap);
    const int top = start.y() + row * (m_rowHeight + m_rowGap);
    return QRect(left, top, m_labelWidth, m_rowHeight);
}

QRect StatusBar::valueRect(int row, int column) const
{
    const QRect label = labelRect(row, column);
    return QRect(label.right() + 1 + m_labelGap, label.top(), m_valueWidth, m_rowHeight);
}

QString StatusBar::valueText(int row, int column) const
{
    if (column == 2 && row == foundRow())
        return skin::text("find_count").arg(QLocale().toString(m_found), QLocale().toString(m_foundOf));
    if (column == 2)
        return QString::fromStdString(formatCount(row == 0 ? m_tcpAddresses : m_udpAddresses));
    const double value = column == 0 ? (row == 0 ? m_sentBytes : m_recvBytes) : (row == 0 ? m_sentPackets : m_recvPackets);
    return QString::fromStdString(formatValue(value, ValueUse::StatusTotal).text);
}

void StatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, m_background);
    // Sunken frame: dark on the left and top, light on the right and bottom.
    painter.fillRect(QRect(0, 0, 1, area.height()), Qt::black);
    painter.fillRect(QRect(0, 0, area.width(), 1), Qt::black);
    painter.fillRect(QRect(area.width() - 1, 0, 1, area.height()), Qt::white);
    painter.fillRect(QRect(0, area.height() - 1, area.width(), 1), Qt::white);

    painter.setFont(m_font);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            painter.setPen(m_labelColor);
            drawFittedText(painter, labelRect(row, column), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                             labelText(row, column));
            const QRect box = valueRect(row, column);
            painter.fillRect(box, m_boxColor);
            painter.fillRect(QRect(box.left() - 1, box.top() - 1, box.width() + 2, 1), Qt::black);
            painter.fillRect(QRect(box.left() - 1, box.bottom() + 1, box.width() + 2, 1), Qt::white);
            m_painted[row][column] = valueText(row, column);
            painter.setPen(m_valueColor);
            drawFittedText(painter, box.adjusted(0, 0, -kValueInset, 0), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                             m_painted[row][column]);
        }
    }
}

void StatusBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        loadSkin();
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
