#include "shell/ViewLayout.h"

#include "views/Skin.h"

#include <algorithm>

namespace orvane {

const QColor ViewMetrics::kGapColor(0, 156, 12);

namespace {

constexpr int kMinTabHeight = 24;  // a tab area that would leave no room for the tabs

QRect box(int left, int top, int width, int height)
{
    return QRect(left, top, std::max(0, width), std::max(0, height));
}

} // namespace

ViewMetrics ViewMetrics::fromSkin()
{
    ViewMetrics m;
    m.titleHeight = skin::value("sh_titlebar", 24, 200);
    m.statusHeight = skin::value("sh_statusbar", 24, 200);
    m.margin = skin::offset("sl_tabwndx", 0, 200);
    m.top = skin::offset("sl_tabwndy", 0, 200) + m.titleHeight;
    m.summaryHeight = skin::offset("sh_advertwnd", 96, 600);
    m.tabAreaHeight = skin::value("sh_tabwnd", 120, 800);
    if (m.tabAreaHeight < m.summaryHeight + kMinTabHeight)
        m.tabAreaHeight = m.summaryHeight + kMinTabHeight;
    m.tabAreaWidth = skin::value("sw_tabwnd", 360, 1200);
    m.dividerHeight = skin::offset("sh_listandviewdiv", 4, 200);
    m.background = skin::color("cbk_orvaneview", Qt::black);
    return m;
}

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
