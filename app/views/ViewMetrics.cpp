#include "views/ViewMetrics.h"

#include "views/Skin.h"

namespace orvane {

const QColor ViewMetrics::kGapColor(0, 156, 12);

namespace {
constexpr int kMinTabHeight = 24;  // a tab area that would leave no room for the tabs
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

} // namespace orvane
