#include "views/lists/SkinHeaderView.h"

#include "views/Skin.h"
#include "views/FittedText.h"
#include "core/lists/ListColours.h"
#include "views/lists/ListRoles.h"

#include <QPainter>

namespace orvane {

SkinHeaderView::SkinHeaderView(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent),
      m_font(skin::font("f_lhc", skin::value("fh_lhc", 12))),
      m_text(skin::color("cf_lhc", QColor(230, 230, 216)))
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setStretchLastSection(false);
    setDefaultAlignment(Qt::AlignCenter);
    setFixedHeight(kHeight);
}

QSize SkinHeaderView::sizeHint() const
{
    return QSize(QHeaderView::sizeHint().width(), kHeight);
}

void SkinHeaderView::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const QRect all = viewport()->rect();
    const QColor frame = toQColor(listcolour::headerFrame);
    p.fillRect(all, toQColor(listcolour::headerBackground));
    p.setPen(frame);
    p.drawRect(all.adjusted(0, 0, -1, -1));
    p.setFont(m_font);
    const int last = count() - 1;
    for (int visual = 0; visual <= last; ++visual) {
        const int logical = logicalIndex(visual);
        if (isSectionHidden(logical))
            continue;
        const int x = sectionViewportPosition(logical);
        const int w = sectionSize(logical);
        if (x + w < 0 || x > all.width())
            continue;
        const QRect item(x, 0, w, all.height());
        QRect text = item.adjusted(1, 1, -1, -1);
        text.setLeft(text.left() + 3);
        text.setBottom(text.bottom() - 1);
        const QString caption = model() ? model()->headerData(logical, Qt::Horizontal).toString() : QString();
        p.setPen(m_text);
        drawFittedText(p, text, Qt::AlignCenter, caption);
        if (visual < last) {
            p.setPen(frame);
            p.drawLine(item.right(), 1, item.right(), all.height() - 2);
        }
    }
}

} // namespace orvane
