#pragma once

namespace orvane {

// The pages the list area of the main view can show. The first five follow the tabs.
enum class PageKind { TcpList = 0, UdpList = 1, ChatList = 2, Ranking = 3, Connections = 4, Gauge = 5 };

constexpr bool isTrafficList(PageKind page)
{
    return page == PageKind::TcpList || page == PageKind::UdpList || page == PageKind::ChatList;
}

// The counter kind (0 tcp, 1 udp, 2 other) of a traffic list page.
constexpr int trafficKindOf(PageKind page)
{
    return static_cast<int>(page);
}

// The main view's switches the refresh cycle reads.
struct ViewState {
    PageKind current = PageKind::TcpList;
    bool sidePanelOpen = false;
    bool autoRefresh = true;     // the tray menu's "自动刷新"
    bool shown = true;           // refresh enabled and the window visible (not in the tray)
};

} // namespace orvane
