#pragma once

#include "views/ViewMetrics.h"

#include <QRect>

namespace orvane {

// Where every pane of the main view sits for a client area of w x h. No rectangle has a
// negative size, however small the area.
struct ViewLayout {
    QRect titleBar;
    QRect statusBar;
    QRect advert;
    QRect summaryWindow;
    QRect tabs;
    QRect summaryGraphs;
    QRect pages;         // the traffic lists, ranking, connections and gauge pages
    QRect sidePanel;
    QRect gapStrip;

    static ViewLayout compute(const ViewMetrics& m, int w, int h, bool sidePanelOpen);
};

} // namespace orvane
