#pragma once

#include "core/dashboard/DashboardRates.h"
#include "views/charts/CurveChart.h"
#include "views/charts/Gauge.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

namespace orvane {

class TickFeed;
struct TickSnapshot;

// The dashboard page: the nine traffic rates of each tick (TCP and UDP bytes per second,
// packets per tick; each both ways, sent and received) as a 3 x 3 grid of curves or of dials.
class DashboardPage : public QWidget {
    Q_OBJECT
public:
    enum Mode { Gauges = 1, Curves = 2 };

    explicit DashboardPage(const TickFeed& ticks, QWidget* parent = nullptr);

    void setMode(int mode);
    int mode() const { return m_mode; }

    // The rates of the last tick.
    const DashboardRateValues& rates() const { return m_rates; }
    double rate(int index) const { return m_rates[std::size_t(index)]; }
    const CurveChart& chart(int index) const { return m_charts[std::size_t(index)]; }
    const Gauge& gauge(int which) const { return m_gauges[which]; }
    // Where rate i is shown in the current mode.
    QRect cellRect(int index) const;

public slots:
    // Every tick: new rates into the curves (from the second tick on), painted while the
    // page is on show.
    void showTick(const orvane::TickSnapshot& snapshot);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void loadTexts();
    void paintCurves(QPainter& painter);
    void paintGauges(QPainter& painter);

    DashboardRateValues m_rates{};
    int m_mode = Gauges;
    QColor m_background;
    QFont m_titleFont;
    std::array<CurveChart, kDashboardRates> m_charts;
    std::array<QString, kDashboardRates> m_titles;
    Gauge m_gauges[2];
};

} // namespace orvane
