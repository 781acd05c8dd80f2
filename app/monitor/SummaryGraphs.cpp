#include "monitor/SummaryGraphs.h"

namespace orvane {

SummaryGraphs::SummaryGraphs(QWidget* parent) : PlaceholderPane(QColor(24, 33, 30), parent) {}

void SummaryGraphs::sample(bool repaint)
{
    if (repaint)
        update();
}

} // namespace orvane
