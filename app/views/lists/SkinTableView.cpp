#include "views/lists/SkinTableView.h"

#include "core/lists/ListColours.h"
#include "core/lists/WidthFit.h"
#include "views/Skin.h"
#include "views/lists/ListRoles.h"
#include "views/lists/SkinHeaderView.h"
#include "views/lists/SkinScrollBars.h"

#include "config/ConfigStore.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace orvane {

using lumivex::config::ConfigStore;

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
    skinscroll::apply(*this);
}

SkinHeaderView* SkinTableView::skinHeader() const
{
    return static_cast<SkinHeaderView*>(horizontalHeader());
}

void SkinTableView::setColumnWidths(std::span<const ListColumn> columns, const char* widthsKey)
{
    m_columns.assign(columns.begin(), columns.end());
    m_widthsKey = widthsKey;
    m_userWidths.assign(columns.size(), 0);
    if (widthsKey) {
        // "w1,w2,...": 0 or anything unreadable keeps the column's own width.
        const QStringList saved = QString::fromUtf8(ConfigStore::instance().getUserValue(widthsKey)).split(QLatin1Char(','));
        for (qsizetype i = 0; i < saved.size() && std::size_t(i) < m_userWidths.size(); ++i)
            m_userWidths[std::size_t(i)] = std::clamp(saved[i].trimmed().toInt(), 0, 4000);
    }
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &SkinTableView::keepUserWidth, Qt::UniqueConnection);
    fitColumns();
}

void SkinTableView::fitColumns()
{
    if (m_columns.empty())
        return;
    const QFontMetrics captions(skinHeader()->captionFont());
    // The header makes no section narrower than this; a column given less would push the
    // row past the view's width.
    const int narrowest = horizontalHeader()->minimumSectionSize();
    std::vector<WidthItem> items;
    int fixed = 0;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const ListColumn& column = m_columns[i];
        const QString caption = model() ? model()->headerData(int(i), Qt::Horizontal).toString() : QString();
        WidthItem item;
        item.preferred = std::max(m_userWidths[i] > 0 ? m_userWidths[i] : column.width, narrowest);
        item.minimum = std::max(std::min(item.preferred, captions.horizontalAdvance(caption) + kCaptionPadding), narrowest);
        item.grows = column.grows && m_userWidths[i] == 0;
        fixed += item.grows ? item.minimum : item.preferred;
        items.push_back(item);
    }
    const int available = viewport()->width();
    // The name columns give up their width first; the figures keep theirs while that is enough.
    if (fixed <= available) {
        for (WidthItem& item : items) {
            if (!item.grows)
                item.minimum = item.preferred;
        }
    }
    const std::vector<int> widths = fitWidths(items, available);
    m_fitting = true;
    for (std::size_t i = 0; i < widths.size(); ++i)
        setColumnWidth(int(i), widths[i]);
    m_fitting = false;
}

void SkinTableView::keepUserWidth(int column, int, int width)
{
    if (m_fitting || column < 0 || std::size_t(column) >= m_userWidths.size())
        return;
    m_userWidths[std::size_t(column)] = width;
    if (!m_widthsKey)
        return;
    QStringList texts;
    for (int w : m_userWidths)
        texts << QString::number(w);
    ConfigStore::instance().setUserValue(m_widthsKey, texts.join(QLatin1Char(',')).toUtf8().constData());
}

void SkinTableView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitColumns();
}

void SkinTableView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange || event->type() == QEvent::FontChange)
        fitColumns();
    QTableView::changeEvent(event);
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
