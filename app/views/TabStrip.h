#pragma once

#include "core/ViewState.h"

#include <QFont>
#include <QRect>
#include <QWidget>

namespace orvane {

// The row of five painted tabs that chooses the page of the list area: TCP, UDP and chat
// traffic, the ranking and the connections. A click on a tab selects it and tells the view.
// While a page without a tab (the dashboard) is on show, no tab is current.
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

signals:
    void tabClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect m_tabs[kCount];
    QFont m_font;
    int m_current = 0;
};

} // namespace orvane
