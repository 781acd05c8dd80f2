#pragma once

#include "views/PlaceholderPane.h"

namespace orvane {

// The summary of machine load and the busiest programs above the tabs (paints its
// background for now).
class SummaryWindow : public PlaceholderPane {
    Q_OBJECT
public:
    explicit SummaryWindow(QWidget* parent = nullptr);

    // Once a tick.
    void refresh();
};

} // namespace orvane
