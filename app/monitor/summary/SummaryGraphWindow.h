#pragma once

#include "monitor/summary/SystemFigures.h"
#include "monitor/summary/SystemSampler.h"
#include "views/charts/SeriesChart.h"

#include <QRect>
#include <QString>
#include <QWidget>

namespace orvane {

// The three small graphs beside the tabs: CPU and memory use, disk read and write speed,
// network upload and download speed, each panel with its current figures. Sampled once a
// tick; a double click asks for the dashboard's curves.
class SummaryGraphWindow : public QWidget {
    Q_OBJECT
public:
    // figures: the program-wide values; the window writes CPU and memory and reads the disk
    // and network speeds. It must outlive the window.
    explicit SummaryGraphWindow(SystemFigures& figures, QWidget* parent = nullptr);
    // Tests: a sampler over fixed /proc texts.
    SummaryGraphWindow(SystemFigures& figures, SystemSampler sampler, QWidget* parent = nullptr);

    // Once a tick: CPU and memory sampled and published, the six figures pushed; repainted
    // when repaint is set (the main view is visible).
    void sample(bool repaint);

    // Panel i (0 CPU/memory, 1 disk, 2 network) for the current width: (width - 15) / 3
    // wide, at least 120, 5 pixels apart, 2 pixels below the top.
    QRect panelRect(int index) const;
    // The panel under the mouse, -1 when none.
    int hoveredPanel() const { return m_hovered; }
    const SeriesChart& chart() const { return m_chart; }
    QString panelTip(int index) const { return m_tips[index]; }

signals:
    // Double click: show the dashboard with its curves.
    void curvesRequested();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int panelAt(const QPoint& point) const;
    void paintPanel(QPainter& painter, int index);

    SystemFigures& m_figures;
    SystemSampler m_sampler;
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
