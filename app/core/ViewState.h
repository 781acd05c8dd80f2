#pragma once

#include "capengine/XEngineRows.h"

namespace orvane {

// The pages the list area of the main view can show. The first kTabs are the tabs, in the
// order of the tab strip; the dashboard has no tab (the summary graphs bring it on show).
enum class Page { TcpList = 0, UdpList = 1, ChatList = 2, Ranking = 3, Connections = 4, History = 5, Dashboard = 6 };
inline constexpr int kTabs = 6;
inline constexpr int kPages = 7;

// The tab of a page, -1 for a page without one.
constexpr int tabOf(Page page)
{
    return int(page) < kTabs ? int(page) : -1;
}
// The page of a tab (0 to kTabs - 1).
constexpr Page pageOfTab(int tab)
{
    return tab >= 0 && tab < kTabs ? Page(tab) : Page::TcpList;
}

constexpr bool isTrafficList(Page page)
{
    return page == Page::TcpList || page == Page::UdpList || page == Page::ChatList;
}
// The counter a traffic list page shows (the lists follow the counters' order).
constexpr XTrafficKind trafficKindOf(Page page)
{
    return isTrafficList(page) ? XTrafficKind(int(page)) : kTrafficTcp;
}
constexpr Page listPageOf(XTrafficKind kind)
{
    return Page(int(kind));
}

// How the traffic list on show stands.
struct ListShape {
    int itemCount = 0;    // rows the list shows now
    int rowsPerPage = 0;  // rows that fit on one page
    bool sort = true;     // the list orders by recency
};

// The main view as a tick finds it. This is the one place that says which panes are on show:
// whatever a tick measures only for a visible pane asks it here.
struct ViewState {
    Page current = Page::TcpList;
    bool sidePanelOpen = false;
    bool autoRefresh = true;  // the tray menu's "自动刷新"
    bool shown = true;        // refresh enabled and the window visible (not in the tray)
    bool floatingShown = false;  // the floating strip is on the desktop
    ListShape list;           // the traffic list on show, when the page is one

    // The page is the one on show in a visible window.
    bool onShow(Page page) const { return shown && current == page; }
    // The detail side panel is visible (it only stands beside a traffic list).
    bool detailOnShow() const { return shown && sidePanelOpen && isTrafficList(current); }
    // Disk speeds are on screen each second: the summary panes of a visible window (and its
    // process monitor list) or the floating strip show them.
    bool diskRatesOnShow() const { return shown || floatingShown; }
};

} // namespace orvane
