#pragma once

#include <QColor>

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

} // namespace orvane
