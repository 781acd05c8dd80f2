#pragma once

#include "core/history/HistoryBars.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

namespace orvane {

// The history page's bar chart: the range cut into hours, days or months, received at the
// bottom of each bar and sent stacked on it, a byte scale at the left, time labels below, the
// legend and the range (and the span actually answered, when coarser buckets answered part of
// it) above.
class HistoryChart : public QWidget {
    Q_OBJECT
public:
    static const QColor kReceived;
    static const QColor kSent;

    explicit HistoryChart(QWidget* parent = nullptr);

    void setSeries(std::vector<history::SeriesPoint> points, history::Step step, const history::TimeRange& range,
                   const history::TimeRange& covered);
    // A line shown instead of the bars (no history yet, an error); empty: the bars.
    void setMessage(const QString& message);
    QString message() const { return m_message; }

    const HistoryBarLayout& bars() const { return m_layout; }
    const std::vector<history::SeriesPoint>& points() const { return m_points; }
    history::Step step() const { return m_step; }
    // Where the bars stand, and the line above them that tells the covered span.
    QRect plotRect() const;
    QString coveredText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void relayout();
    int labelWidth() const;

    std::vector<history::SeriesPoint> m_points;
    history::Step m_step = history::Step::Hour;
    history::TimeRange m_range, m_covered;
    HistoryBarLayout m_layout;
    QString m_message;
    QFont m_font;
    QFont m_smallFont;
};

} // namespace orvane
