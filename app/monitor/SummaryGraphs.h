#pragma once

#include "views/PlaceholderPane.h"

namespace orvane {

// The CPU, memory, disk and network graphs beside the tabs (paints its background for now).
class SummaryGraphs : public PlaceholderPane {
    Q_OBJECT
public:
    explicit SummaryGraphs(QWidget* parent = nullptr);

    // Once a tick: takes a sample; repaint when the window is visible.
    void sample(bool repaint);
};

} // namespace orvane
