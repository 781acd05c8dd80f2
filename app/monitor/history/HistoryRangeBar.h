#pragma once

#include "core/history/HistoryQuery.h"
#include "core/history/HistorySpan.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QWidget>

#include <vector>

namespace orvane {

// The band at the top of the history page: the ranges (today, 7 days, 30 days, 12 months,
// and a month with its arrows), the main table's mode (by program, by host), what the
// recorder does, and "Export CSV". Clicks are reported; the page decides.
class HistoryRangeBar : public QWidget {
    Q_OBJECT
public:
    enum Item {
        Today, Last7Days, Last30Days, Last12Months, PreviousMonth, Month, NextMonth, ByProgram, ByHost, Export,
        kItems
    };
    static constexpr int kHeight = 26;

    explicit HistoryRangeBar(QWidget* parent = nullptr);

    void showSpan(const HistorySpan& span);
    void showMode(HistoryListMode mode);
    // The readout beside the items: the recorder's state or the last action's outcome.
    void setStatus(const QString& text, bool warning);
    QString status() const { return m_status; }
    QRect itemRect(Item item) const { return m_items[std::size_t(item)]; }
    QRect statusRect() const { return m_statusBox; }

signals:
    void itemClicked(int item);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString itemText(Item item) const;
    bool current(Item item) const;
    void layoutItems();

    std::vector<QRect> m_items;
    QRect m_statusBox;
    HistorySpan m_span;
    HistoryListMode m_mode = HistoryListMode::Programs;
    QString m_status;
    bool m_warning = false;
    QFont m_font;
    QColor m_item, m_itemCurrent, m_line;
};

} // namespace orvane
