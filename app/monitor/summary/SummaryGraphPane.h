#pragma once

#include "views/charts/SeriesChart.h"

#include <QRect>
#include <QString>
#include <QWidget>

namespace orvane {

class TickFeed;
struct TickSnapshot;

// The three small graphs beside the tabs: CPU and memory use, disk read and write speed,
// network upload and download speed, each panel with its current figures, from every tick.
// A double click asks for the dashboard's curves.
class SummaryGraphPane : public QWidget {
    Q_OBJECT
public:
    explicit SummaryGraphPane(const TickFeed& ticks, QWidget* parent = nullptr);

    // Panel i (0 CPU/memory, 1 disk, 2 network) for the current width: (width - 15) / 3
    // wide, at least 120, 5 pixels apart, 2 pixels below the top.
    QRect panelRect(int index) const;
    // The panel under the mouse, -1 when none.
    int hoveredPanel() const { return m_hovered; }
    const SeriesChart& chart() const { return m_chart; }
    QString panelTip(int index) const { return m_tips[index]; }

public slots:
    // Every tick: the six figures pushed into the graphs, painted while the window is on
    // show.
    void showTick(const orvane::TickSnapshot& snapshot);

signals:
    // Double click: show the dashboard with its curves.
    void curvesRequested();

protected:
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void loadTexts();
    int panelAt(const QPoint& point) const;
    void paintPanel(QPainter& painter, int index);

    SeriesChart m_chart;
    int m_cpu = 0;
    int m_memory = 0;
    double m_speeds[4] = {0, 0, 0, 0};  // disk read, disk write, upload, download
    QString m_titles[3];
    QString m_captions[4];              // read, write, up, down
    QString m_tips[3];
    int m_hovered = -1;
};

} // namespace orvane
