#include "shell/ViewLayout.h"

#include <algorithm>

namespace orvane {

namespace {

QRect box(int left, int top, int width, int height)
{
    return QRect(left, top, std::max(0, width), std::max(0, height));
}

} // namespace

ViewLayout ViewLayout::compute(const ViewMetrics& m, int w, int h, bool sidePanelOpen)
{
    ViewLayout l;
    const int wa = ViewMetrics::kAdvertWidth;
    const int wp = ViewMetrics::kSidePanelWidth;
    const int x = m.margin;
    const int y = m.top;
    const int lt = m.listTop();
    const int pageHeight = h - (m.dividerHeight + m.statusHeight + lt);
    l.titleBar = box(0, 0, w, m.titleHeight);
    l.statusBar = box(0, h - m.statusHeight, w - wa, m.statusHeight);
    l.advert = box(std::max(0, w - wa), h - m.statusHeight, std::min(wa, w), m.statusHeight);
    l.summaryWindow = box(x, y, m.tabAreaWidth, m.summaryHeight);
    l.tabs = box(x, y + m.summaryHeight, m.tabAreaWidth, m.tabAreaHeight - m.summaryHeight);
    l.summaryGraphs = box(x + m.tabAreaWidth, y, w - 2 * x - m.tabAreaWidth, m.tabAreaHeight);
    l.pages = box(x, lt, w - 2 * x - (sidePanelOpen ? wp - 1 : 0), pageHeight);
    l.sidePanel = box(w - wp - x + 1, lt, wp, pageHeight);
    l.gapStrip = box(x, y + m.tabAreaHeight, w - 2 * x, ViewMetrics::kGap);
    return l;
}

} // namespace orvane
