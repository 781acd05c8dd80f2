#include "views/ranking/RankCategoryBar.h"

#include "config/ConfigStore.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "core/ranking/RankCategories.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvane {

const QColor RankCategoryBar::kBackground(39, 54, 49);

RankCategoryBar::RankCategoryBar(QWidget* parent)
    : QWidget(parent), m_line(skin::color("c_topntabline", QColor(0, 156, 12))),
      m_item(skin::color("cbk_topntabitem", QColor(39, 54, 49))),
      m_itemCurrent(skin::color("cbk_topntabitemok", QColor(0, 146, 63))),
      m_itemFont(skin::fontOfFace(QStringLiteral("Tahoma"), 14)), m_titleFont(skin::fontOfFace(QStringLiteral("Tahoma"), 18))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_titleFont.setBold(true);
    m_icon = skin::imageFile(QString::fromStdString(lumivex::config::ConfigStore::instance().dataDir()) + "topntab.dat");
}

QRect RankCategoryBar::itemRect(int i) const
{
    const int top = kFirstItemTop + kItemPitch * i;
    return QRect(QPoint(kItemLeft, top), QPoint(width() - kItemLeft - 1, top + kItemHeight - 1));
}

int RankCategoryBar::visibleItems() const
{
    const int drawable = height() - kMargin;
    int n = 0;
    while (n < int(rankCategories().size()) && kFirstItemTop + kItemPitch * n + kItemHeight + 10 <= drawable)
        ++n;
    return n;
}

void RankCategoryBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (height() <= 40)
        return;
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    // The frame: straight edges stopping 9 pixels short of the corners, quarter arcs in 20 x 20
    // squares at the corners.
    const double x = kMargin, y = kMargin, w = width() - 2 * kMargin, h = height() - 2 * kMargin;
    p.setPen(QPen(m_line, 3.0));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(x + 9, y), QPointF(x + w - 9, y));
    p.drawLine(QPointF(x + w, y + 9), QPointF(x + w, y + h - 9));
    p.drawLine(QPointF(x + 9, y + h), QPointF(x + w - 9, y + h));
    p.drawLine(QPointF(x, y + 9), QPointF(x, y + h - 9));
    p.drawArc(QRectF(x, y, 20, 20), 90 * 16, 90 * 16);
    p.drawArc(QRectF(x + w - 20, y, 20, 20), 0, 90 * 16);
    p.drawArc(QRectF(x + w - 20, y + h - 20, 20, 20), 270 * 16, 90 * 16);
    p.drawArc(QRectF(x, y + h - 20, 20, 20), 180 * 16, 90 * 16);

    const int shown = visibleItems();
    const auto categories = rankCategories();
    const auto& store = lumivex::config::ConfigStore::instance();
    p.setFont(m_itemFont);
    for (int i = 0; i < shown; ++i) {
        const QRect item = itemRect(i);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(item, i == m_current ? m_itemCurrent : m_item);
        p.setPen(QColor(123, 134, 149));
        p.drawLine(item.topLeft(), item.topRight());
        p.setPen(QColor(45, 63, 91));
        p.drawLine(item.bottomLeft(), item.bottomRight());
        p.setPen(QColor(255, 255, 255, 200));
        // Clear of the marker of the current item.
        const int marker = m_icon.isNull() ? 0 : m_icon.width() + 4;
        drawFittedText(p, QRect(item.left(), item.top() + 4, item.width() - marker, item.height() - 4), Qt::AlignLeft | Qt::AlignTop,
                       QString::fromUtf8(store.getTextW(categories[std::size_t(i)].key)));
        if (i == m_current && !m_icon.isNull())
            p.drawImage(QPoint(item.right() + 1 - m_icon.width() - 4, item.top() + (kItemHeight - m_icon.height()) / 2), m_icon);
    }
    p.setFont(m_titleFont);
    p.setPen(Qt::white);
    drawFittedText(p, QRect(8, 15, width() - 16, 20), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromUtf8(store.getTextW("topn_tabwnd_name")));
}

void RankCategoryBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    for (int i = 0; i < int(rankCategories().size()); ++i) {
        if (!itemRect(i).contains(at))
            continue;
        emit categoryClicked(i);
        if (i != m_current) {
            m_current = i;
            update();
        }
        return;
    }
}

} // namespace orvane
