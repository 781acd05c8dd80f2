#pragma once

#include "core/ViewState.h"

#include <QFont>
#include <QRect>
#include <QWidget>

namespace orvane {

// The row of six painted tabs that chooses the page of the list area: TCP, UDP and chat
// traffic, the ranking, the connections and the history. A click on a tab selects it and tells the view.
// While a page without a tab (the dashboard) is on show, no tab is current. A tab is at
// least as wide as its caption; when the captions need more room than the strip has, the
// tabs share it and the font shrinks until each caption fits whole.
class TabStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCount = kTabs;

    explicit TabStrip(QWidget* parent = nullptr);

    // Makes tab index current (0 to kCount - 1; other values are ignored).
    void select(int index);
    // Shows which page is on show: its tab, or none.
    void showPage(Page page);
    // The current tab, -1 when none.
    int current() const { return m_current; }
    int count() const { return kCount; }
    QRect tabRect(int index) const;
    QString tabText(int index) const;
    const QFont& tabFont() const { return m_fitted; }

signals:
    void tabClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layoutTabs();

    QRect m_tabs[kCount];
    QFont m_font;
    QFont m_fitted;
    int m_firstLeft = 5;
    int m_bottom = 20;
    int m_current = 0;
};

} // namespace orvane
