#pragma once

#include "core/lists/ListColumn.h"

#include <QColor>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTableView>

#include <span>
#include <vector>

namespace orvane {

class SkinHeaderView;

// The skinned report list every list of the program builds on: 18-pixel rows in alternating
// colours painted by the list itself (also right of the last column, and a plain area below
// the last row), the skinned header, no grid, no platform selection. Models give the text,
// alignment, text colour and cell fill of each cell (see ListRoles.h).
class SkinTableView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;
    // Room beside a caption in its column (the header's inset on each side).
    static constexpr int kCaptionPadding = 10;

    explicit SkinTableView(QWidget* parent = nullptr);

    // Header widths from the column table (the model gives the captions).
    // The columns, fitted to the view's width from now on: each its width (or the one the
    // user dragged it to, kept in user.ini under widthsKey when one is given), all giving up
    // width in proportion when they do not fit, down to the width of their caption; the
    // growing columns take what is left over.
    void setColumnWidths(std::span<const ListColumn> columns, const char* widthsKey = nullptr);
    // Lays the columns out again (the width or the captions changed).
    void fitColumns();
    SkinHeaderView* skinHeader() const;

    // The background of a row: even, odd, or selected.
    virtual QColor rowColour(int row) const;
    // The selected row, -1 when none (the lists keep their own selection).
    virtual int selectedRow() const { return -1; }

    int rowsPerPage() const;
    int topRow() const;
    // Text is not drawn in a column this narrow or narrower (0: always drawn).
    void setTextlessWidth(int width) { m_textlessWidth = width; }
    int textlessWidth() const { return m_textlessWidth; }
    // Pixels left free before left-aligned text.
    void setTextInset(int inset) { m_textInset = inset; }
    int textInset() const { return m_textInset; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A column's width changed; when not by the fitting, the user's, kept.
    void keepUserWidth(int column, int oldWidth, int width);

    std::vector<ListColumn> m_columns;
    std::vector<int> m_userWidths;  // 0: the column's own width
    const char* m_widthsKey = nullptr;
    bool m_fitting = false;
    int m_textlessWidth = 0;
    int m_textInset = 0;
};

// Paints one cell of a SkinTableView: the row colour, the model's cell fill, the text.
class SkinCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit SkinCellDelegate(SkinTableView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // Laid-out texts: a page repaints the same cell texts every refresh, and laying a text out
    // costs more than drawing it.
    const QStaticText& laidOut(const QString& text, const QFont& font) const;

    SkinTableView* m_view;
    static constexpr int kLaidOutLimit = 8192;
    mutable QHash<QString, QStaticText> m_laidOut;
    mutable QFont m_laidOutFont;
};

} // namespace orvane
