#include "monitor/GaugeWindow.h"

#include "views/Skin.h"

namespace orvane {

GaugeWindow::GaugeWindow(QWidget* parent) : PlaceholderPane(skin::color("cbk_monitorwnd", QColor(24, 33, 30)), parent) {}

void GaugeWindow::takeTotals(const TrafficTotals& totals, std::uint32_t)
{
    m_last = totals;
}

} // namespace orvane
