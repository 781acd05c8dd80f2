#pragma once

#include <QFont>
#include <QRect>
#include <QWidget>

namespace orvane {

// The row of five painted tabs that chooses the page of the list area: TCP, UDP and chat
// traffic, the ranking and the connections. A click on a tab selects it and tells the view.
class TabStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCount = 5;

    explicit TabStrip(QWidget* parent = nullptr);

    void select(int index);
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
