#include "views/lists/SkinTableView.h"

#include "views/Skin.h"
#include "core/lists/ListColours.h"
#include "views/lists/ListRoles.h"
#include "views/lists/SkinHeaderView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace orvane {

SkinTableView::SkinTableView(QWidget* parent) : QTableView(parent)
{
    setHorizontalHeader(new SkinHeaderView(this));
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setShowGrid(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::StrongFocus);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setItemDelegate(new SkinCellDelegate(this));
    setFont(skin::font("f_listitem", skin::value("fh_listitem", 12)));
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, toQColor(listcolour::belowRows));
    palette.setColor(QPalette::Window, toQColor(listcolour::belowRows));
    viewport()->setPalette(palette);
    setPalette(palette);
}

SkinHeaderView* SkinTableView::skinHeader() const
{
    return static_cast<SkinHeaderView*>(horizontalHeader());
}

void SkinTableView::setColumnWidths(std::span<const ListColumn> columns)
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        setColumnWidth(int(i), columns[i].width);
}

QColor SkinTableView::rowColour(int row) const
{
    return toQColor(listcolour::row(row, row == selectedRow()));
}

int SkinTableView::rowsPerPage() const
{
    return std::max(viewport()->height() / kRowHeight, 0);
}

int SkinTableView::topRow() const
{
    return verticalScrollBar()->value();
}

void SkinTableView::paintEvent(QPaintEvent* event)
{
    {
        // Row strips across the whole width (the cells paint over them), then the area below
        // the last row.
        QPainter p(viewport());
        const QRect dirty = event->rect();
        const int rows = model() ? model()->rowCount() : 0;
        const int first = std::max(rowAt(dirty.top()), 0);
        int y = rows > 0 ? rowViewportPosition(first) : 0;
        for (int row = first; row < rows && y <= dirty.bottom(); ++row, y += kRowHeight)
            p.fillRect(QRect(dirty.left(), y, dirty.width(), kRowHeight), rowColour(row));
        if (rows == 0 || y <= dirty.bottom())
            p.fillRect(QRect(dirty.left(), std::max(y, dirty.top()), dirty.width(), dirty.bottom() - std::max(y, dirty.top()) + 1),
                       toQColor(listcolour::belowRows));
    }
    QTableView::paintEvent(event);
}

SkinCellDelegate::SkinCellDelegate(SkinTableView* view) : QStyledItemDelegate(view), m_view(view) {}

QSize SkinCellDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(80, SkinTableView::kRowHeight);
}

void SkinCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect cell = option.rect;
    painter->fillRect(cell, m_view->rowColour(index.row()));
    const QVariant fill = index.data(CellFillRole);
    if (fill.isValid())
        painter->fillRect(cell.adjusted(0, 1, 0, -1), fill.value<QColor>());
    if (m_view->textlessWidth() > 0 && cell.width() <= m_view->textlessWidth())
        return;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return;
    const QVariant foreground = index.data(Qt::ForegroundRole);
    painter->setFont(option.font);
    painter->setPen(foreground.isValid() ? foreground.value<QColor>() : toQColor(listcolour::text));
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    const Qt::Alignment align = alignment.isValid() ? Qt::Alignment(alignment.toInt()) : (Qt::AlignLeft | Qt::AlignVCenter);
    QRect box = cell;
    box.setLeft(box.left() + m_view->textInset());
    const QStaticText& laid = laidOut(text, option.font);
    const QSizeF size = laid.size();
    if (size.width() > box.width()) {
        const QString shown = option.fontMetrics.elidedText(text, Qt::ElideRight, box.width());
        painter->drawText(box, int(align) | Qt::TextSingleLine, shown);
        return;
    }
    qreal x = box.left();
    if (align & Qt::AlignRight)
        x = box.right() + 1 - size.width();
    else if (align & Qt::AlignHCenter)
        x = box.left() + (box.width() - size.width()) / 2;
    const qreal y = box.top() + (box.height() - size.height()) / 2;
    painter->drawStaticText(QPointF(x, y), laid);
}

const QStaticText& SkinCellDelegate::laidOut(const QString& text, const QFont& font) const
{
    if (font != m_laidOutFont || m_laidOut.size() > kLaidOutLimit) {
        m_laidOut.clear();
        m_laidOutFont = font;
    }
    auto it = m_laidOut.find(text);
    if (it == m_laidOut.end()) {
        QStaticText laid(text);
        laid.setTextFormat(Qt::PlainText);
        laid.prepare(QTransform(), font);
        it = m_laidOut.insert(text, laid);
    }
    return it.value();
}

} // namespace orvane
