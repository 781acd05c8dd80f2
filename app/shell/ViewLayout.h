#pragma once

#include <QColor>
#include <QRect>

namespace orvane {

// The sizes the main view lays its panes out with, read once from the skin.
struct ViewMetrics {
    int titleHeight = 24;    // Ht
    int statusHeight = 24;   // Hs
    int margin = 0;          // X
    int top = 24;            // Y: below the title bar
    int summaryHeight = 96;  // Ha
    int tabAreaHeight = 120; // Hb: summary window and tabs
    int tabAreaWidth = 360;  // Wb
    int dividerHeight = 4;   // Hd: above the status bar
    QColor background = Qt::black;

    static constexpr int kGap = 4;           // the strip under the tab area
    static constexpr int kAdvertWidth = 360;  // Wa
    static constexpr int kSidePanelWidth = 216;  // Wp
    static const QColor kGapColor;

    static ViewMetrics fromSkin();
    int listTop() const { return top + kGap + tabAreaHeight; }  // L
};

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
