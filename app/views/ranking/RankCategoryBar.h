#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

namespace orvane {

// The category column of the ranking page: a rounded frame, the title "TOP 10" and the twelve
// categories, the current one highlighted with an icon. A click on a category reports it.
class RankCategoryBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMargin = 5;
    static constexpr int kItemLeft = 8;
    static constexpr int kFirstItemTop = 50;
    static constexpr int kItemPitch = 24;
    static constexpr int kItemHeight = 22;
    static const QColor kBackground;

    explicit RankCategoryBar(QWidget* parent = nullptr);

    int currentCategory() const { return m_current; }
    // The rectangle of category i (0-11).
    QRect itemRect(int i) const;
    // How many categories fit the bar's height.
    int visibleItems() const;

signals:
    // A category was clicked (also the current one).
    void categoryClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_current = 0;
    QColor m_line;
    QColor m_item;
    QColor m_itemCurrent;
    QImage m_icon;
    QFont m_itemFont;
    QFont m_titleFont;
};

} // namespace orvane
