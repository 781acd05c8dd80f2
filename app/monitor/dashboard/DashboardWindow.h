#pragma once

#include "monitor/dashboard/DashboardRates.h"
#include "monitor/summary/SystemFigures.h"
#include "views/charts/CurveChart.h"
#include "views/charts/Gauge.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

namespace orvane {

// The dashboard page: the nine traffic rates (TCP and UDP bytes per second, packets per
// tick; each both ways, sent and received) as a 3 x 3 grid of curves or of dials. It also
// publishes the overall download and upload speeds for the summary and the floating strip.
class DashboardWindow : public QWidget {
    Q_OBJECT
public:
    enum Mode { Gauges = 1, Curves = 2 };

    // figures receives the published speeds; it must outlive the window.
    explicit DashboardWindow(SystemFigures& figures, QWidget* parent = nullptr);

    // Every refresh tick: the running totals and the milliseconds since the previous tick.
    void takeTotals(const RateTotals& totals, std::uint32_t elapsedMs);

    void setMode(int mode);
    int mode() const { return m_mode; }

    const DashboardRates& rates() const { return m_rates; }
    const CurveChart& chart(int index) const { return m_charts[std::size_t(index)]; }
    const Gauge& gauge(int which) const { return m_gauges[which]; }
    // Where rate i is shown in the current mode.
    QRect cellRect(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintCurves(QPainter& painter);
    void paintGauges(QPainter& painter);

    SystemFigures& m_figures;
    DashboardRates m_rates;
    int m_mode = Gauges;
    QColor m_background;
    QFont m_titleFont;
    std::array<CurveChart, kDashboardRates> m_charts;
    std::array<QString, kDashboardRates> m_titles;
    Gauge m_gauges[2];
};

} // namespace orvane
