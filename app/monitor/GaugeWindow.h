#pragma once

#include "shell/core/TrafficTotals.h"
#include "views/PlaceholderPane.h"

#include <cstdint>

namespace orvane {

// The dashboard of traffic-rate curves and dials (paints its background for now).
class GaugeWindow : public PlaceholderPane {
    Q_OBJECT
public:
    explicit GaugeWindow(QWidget* parent = nullptr);

    void setMode(long long mode) { m_mode = mode; }
    long long mode() const { return m_mode; }
    // The totals of every tick and the time since the previous one, for the rates.
    void takeTotals(const TrafficTotals& totals, std::uint32_t elapsedMs);

private:
    long long m_mode = 0;
    TrafficTotals m_last;
};

} // namespace orvane
