#include "config/BuiltinTexts.h"

#include "config/ConfigStore.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace lumivex::config {

namespace {

constexpr bool kWide = true;

// UTF-8 texts of every window, message box and menu label: the key, the Chinese text, the
// English text and, for the ranking window's texts, kWide. A new text is one more line.
constexpr BuiltinText kTexts[] = {
    {"only_os_xp", "Lumivex只能运行在Window XP 及以上操作系统。", "Lumivex runs on Windows XP or later only."},
    {"need_admin_user", "     您当前是非计算机管理员身份。\n\n Lumivex需要“计算机管理员”权限才能看到全部数据。", "Lumivex is not running with administrator rights.\n\nIt needs them (root, or the capabilities granted at installation) to see all traffic."},
    {"Lumivex", "Lumivex", "Lumivex"},
    {"Lumivex_is_run", "不能同时运行多个Lumivex，点击“确定”按钮退出。", "Lumivex is already running. Click \"OK\" to quit."},
    {"not_on_linehelp", "无法获取在线帮助，请稍后再试。", "Online help is not available. Please try again later."},
    {"titlename", "Lumivex", "Lumivex"},
    {"remoteip", "远程IP地址", "Remote address"},
    {"friend_remoteip", "对方IP地址", "Peer address"},
    {"remoteport", "远程端口", "Remote port"},
    {"localport", "本地端口", "Local port"},
    {"protocol", "聊天类型", "Chat program"},
    {"dnsname", "域 名", "DNS name"},
    {"sendbyte", "总上传字节", "Sent"},
    {"recvbyte", "总下载字节", "Received"},
    {"lasttime", "最近传输时间", "Last active"},
    {"direction", "方 向", "Direction"},
    {"program", "程 序", "Program"},
    {"location", "地点", "Location"},
    {"unknown", "未知", "Unknown"},
    {"sendbytes", "总上传字节：", "Bytes sent:"},
    {"recvbytes", "总下载字节：", "Bytes received:"},
    {"sendpackets", "总上传数据包：", "Packets sent:"},
    {"recvpackets", "总下载数据包：", "Packets received:"},
    {"tcpips", "TCP访问IP数：", "TCP addresses:"},
    {"udpips", "UDP访问IP数：", "UDP addresses:"},
    {"otherips", "其它访问IP数：", "Other addresses:"},
    {"topn_tabwnd_name", "TOP 10", "TOP 10", kWide},
    {"tcp_all_bytes", "TCP流量", "TCP bytes", kWide},
    {"tcp_all_packets", "TCP包数", "TCP packets", kWide},
    {"tcp_in_bytes", "TCP下载字节", "TCP bytes in", kWide},
    {"tcp_in_packets", "TCP下载包数", "TCP packets in", kWide},
    {"tcp_out_bytes", "TCP上传字节", "TCP bytes out", kWide},
    {"tcp_out_packets", "TCP上传包数", "TCP packets out", kWide},
    {"udp_all_bytes", "UDP流量", "UDP bytes", kWide},
    {"udp_all_packets", "UDP包数", "UDP packets", kWide},
    {"udp_in_bytes", "UDP下载字节", "UDP bytes in", kWide},
    {"udp_in_packets", "UDP下载包数", "UDP packets in", kWide},
    {"udp_out_bytes", "UDP上传字节", "UDP bytes out", kWide},
    {"udp_out_packets", "UDP上传包数", "UDP packets out", kWide},
    {"paiming", "排名", "Rank"},
    {"topnvalue", "流量", "Traffic"},
    {"topnwnddesc", "排名数据柱状图", "Ranking bar chart"},
    {"mon_userspeed", "有效速率", "Effective rate"},
    {"mon_bsend", "上传速率", "Upload rate"},
    {"mon_brcv", "下载速率", "Download rate"},
    {"mon_netutil", "网络传输效率[％]", "Network efficiency [%]"},
    {"mon_ptotal", "每秒传输数据包(个/秒)", "Packets/s"},
    {"mon_psend", "每秒上传数据包(个/秒)", "Packets sent/s"},
    {"mon_prcv", "每秒下载数据包(个/秒)", "Packets received/s"},
    {"mon_tcpb", "TCP速率(字节/秒)", "TCP (bytes/s)"},
    {"mon_tcpsend", "TCP上传速率(字节/秒)", "TCP upload (bytes/s)"},
    {"mon_tcprcv", "TCP下载速率(字节/秒)", "TCP download (bytes/s)"},
    {"mon_tcpp", "TCP包速率", "TCP packet rate"},
    {"mon_tcppsend", "TCP包上传速率", "TCP packets sent per second"},
    {"mon_tcpprcv", "TCP包下载速率", "TCP packets received per second"},
    {"mon_udpb", "UDP速率(字节/秒)", "UDP (bytes/s)"},
    {"mon_udpsend", "UDP上传速率(字节/秒)", "UDP upload (bytes/s)"},
    {"mon_udprcv", "UDP下载速率(字节/秒)", "UDP download (bytes/s)"},
    {"mon_udpp", "UDP包速率", "UDP packet rate"},
    {"mon_udppsend", "UDP包上传速率", "UDP packets sent per second"},
    {"mon_udpprcv", "UDP包下载速率", "UDP packets received per second"},
    {"ipwndname", "远程IP详细信息", "Remote address details"},
    {"ipwnd_ip", "远程IP地址", "Address"},
    {"ipwnd_port", "远程端口", "Remote port"},
    {"ipwnd_dns", "域名", "DNS name"},
    {"ipwnd_loca", "地点", "Location"},
    {"ipwnd_sb", "总上传字节", "Bytes sent"},
    {"ipwnd_sp", "总上传包", "Packets sent"},
    {"ipwnd_rb", "总下载字节", "Bytes received"},
    {"ipwnd_rp", "总下载包", "Packets received"},
    {"ipwnd_tb", "总字节数", "Bytes in all"},
    {"ipwnd_tp", "总包数", "Packets in all"},
    {"ipwnd_bpp", "平均包大小", "Bytes per packet"},
    {"ipwnd_sbspeed", "最近上传字节", "Bytes sent/s"},
    {"ipwnd_rbspeed", "最近下载字节", "Bytes received/s"},
    {"ipwnd_spspeed", "最近上传包", "Packets sent/s"},
    {"ipwnd_rpspeed", "最近下载包", "Packets recv./s"},
    {"ipwnd_time", "最近传输时间", "Last active"},
    {"ipwnd_namesrc", "域名来源", "Name from"},
    {"namesrc_dns", "DNS 应答", "DNS answer"},
    {"namesrc_tls", "TLS 握手", "TLS handshake"},
    {"namesrc_quic", "QUIC 握手", "QUIC handshake"},
    {"ipwnd_curvtsp", "总网速(字节/秒)", "Total (bytes/s)"},
    {"ipwnd_curvssp", "上传网速(字节/秒)", "Upload (bytes/s)"},
    {"ipwnd_curvrsp", "下载网速(字节/秒)", "Download (bytes/s)"},
    {"chart_label", "当前值:", "Now:"},
    {"find_placeholder", "查找 (Ctrl+F)", "Find (Ctrl+F)"},
    {"find_tip", "按地址、域名、地点或程序筛选当前列表; Esc 清除", "Filters the list by address, DNS name, location or program; Esc clears"},
    {"find_count", "%1 / 共 %2", "%1 of %2"},
    {"tip_bytepanel", "当前网速(字节/秒)", "Current speed (bytes/s)"},
    {"tip_packetpanel", "当前数据包速率(个/秒)", "Current packet rate (packets/s)"},
    {"tip_panel", "显示仪表", "Show the gauges"},
    {"tip_curve", "显示曲线", "Show the curves"},
    {"tip_graph", "显示网速详情", "Show speed details"},
    {"panel_ipspeed", "网络速率(字节/秒)", "Network rate (bytes/s)"},
    {"panel_packetspeed", "数据包速率(个/秒)", "Packet rate (packets/s)"},
    {"tab_tcp", "TCP", "TCP"},
    {"tab_udp", "UDP", "UDP"},
    {"tab_other", "其它", "Other"},
    {"tab_netconn", "网络连接", "Connections"},
    {"tab_topn", "流量排名", "Ranking"},
    {"netconn_tcpudp", "TCP/UDP", "TCP/UDP"},
    {"netconn_program", "程序名", "Program"},
    {"netconn_lip_port", "本机IP:端口", "Local address:port"},
    {"netconn_rip_port", "远程IP:端口", "Remote address:port"},
    {"netconn_status", "状  态", "State"},
    {"netconn_time", "开始时间", "Started"},
    {"netconn_timelen", "持续时长", "Duration"},
    {"netconn_pid", "PID", "PID"},
    {"netconn_dnsname", "域名", "DNS name"},
    {"netconn_location", "位置", "Location"},
    {"pmon_processname", "程序", "Program"},
    {"pmon_down_speed", "下载速度", "Download"},
    {"pmon_up_speed", "上传速度", "Upload"},
    {"pmon_down_total", "总下载流量", "Downloaded"},
    {"pmon_up_total", "总上传流量", "Uploaded"},
    {"pmon_disk_rs", "读硬盘 B/S", "Disk read B/S"},
    {"pmon_disk_ws", "写硬盘 B/S", "Disk write B/S"},
    {"pmon_rw_toal", "硬盘读写总字节", "Disk bytes in all"},
    {"pmon_processpath", "程序位置", "Program path"},
    {"tip_cpu_mem_usage", "CPU和内存（物理内存＋虚拟内存）的使用率（百分比）。双击鼠标左键显示各类网速曲线图。", "CPU and memory (physical + virtual) use in percent. Double-click to show the speed curves."},
    {"tip_disk_graph", "硬盘当前读写速度。如果需要查看每个程序读写硬盘的情况，点击“流量排名”标签。", "Current disk read and write speed. For the disk use of each program, click the \"Ranking\" tab."},
    {"tip_net_graph", "网络当前发送和接收数据的速度。如果需要查看每个程序访问网络的情况，点击“流量排名”标签。", "Current network send and receive speed. For the network use of each program, click the \"Ranking\" tab."},
    {"sum_cpu_usage", "CPU/内存使用", "CPU/memory"},
    {"sum_disk_rw", "硬盘读写(字节/秒)", "Disk (bytes/s)"},
    {"sum_net_speed", "网速(字节/秒)", "Network (bytes/s)"},
    {"sum_read", "读: ", "Read: "},
    {"sum_write", "写: ", "Write: "},
    {"sum_up", "上传: ", "Up: "},
    {"sum_down", "下载: ", "Down: "},
    {"tip_sum_process", "正在读写硬盘和访问网络的程序。如果需要查看其它程序的情况，点击“流量排名”标签。", "The programs reading or writing the disk and using the network most. For the other programs, click the \"Ranking\" tab."},
    {"sum_curr_process_disk", "当前读写硬盘的程序：", "Top disk user:"},
    {"sum_curr_process_net", "当前访问网络的程序：", "Top network user:"},
    {"titlebar_free_ver", " ", " "},
    {"titlebar_online_help", "在线帮助", "Online help"},
    {"titlebar_about", "关于Lumivex", "About Lumivex"},
    {"advert_free_ver_descr", "Lumivex V3.0 免费版 \r\n 联系方式：", "Lumivex V3.0 free edition \r\n Contact:"},
    {"ipinfo_wnd_memo", "聊天流量说明：", "About chat traffic:"},
    {"ipinfo_wnd_memo_content", "    只有在与对方进行点对点通信时 （如：与对方传文件、非中转方式的语音或者视频聊天）， 显示的IP地址才可能是对方实际IP地址。\r\n \r\n    如果只是文字信息，则显示的通常是中转服务器的IP地址，而不是对方实际IP地址。\r\n \r\n  正在通信的地址会以红色标记。\r\n \r\n（注：显示的IP地址和地点仅供参考）", "    Only while you talk to the other side directly (sending a file, or a voice or video chat that is not relayed) is the address shown likely to be the other side's own address.\r\n \r\n    For text messages it is usually the address of a relay server, not the other side's.\r\n \r\n  Addresses in use are marked in red.\r\n \r\n(Addresses and locations are for reference only.)"},
    // The start-up notice of unusable data files.
    {"data_files_unusable", "以下数据文件无法使用，相应的内容将不显示：", "These data files cannot be used; what they hold is not shown:"},
    // The tab strip.
    {"tabname_tcp", "TCP流量", "TCP traffic"},
    {"tabname_udp", "UDP流量", "UDP traffic"},
    {"tabname_chat", "聊天流量", "Chat traffic"},
    {"tabname_topn", "流量排名", "Ranking"},
    {"tabname_netconn", "网络连接", "Connections"},
    // The program menu.
    {"menu_show_main", "显示主窗口", "Show the window"},
    {"menu_floating", "悬浮窗", "Floating speed strip"},
    {"menu_auto_refresh", "自动刷新", "Refresh the lists"},
    {"menu_autostart", "开机自动运行", "Start at login"},
    {"menu_language", "语言 (Language)", "Language (语言)"},
    {"menu_language_auto", "跟随系统", "As the system's"},
    {"menu_language_zh", "中文", "中文"},
    {"menu_language_en", "English", "English"},
    {"menu_exit", "退出", "Exit"},
    // The About box.
    {"about_version", "Lumivex 3.0 版", "Lumivex version 3.0"},
    {"about_purpose", "网络流量监控：查看本机正在与谁通信。", "Network traffic monitor: who this computer talks to."},
    {"about_source", "事件来源：%1", "Event source: %1"},
    {"about_source_reason", "%1（%2）", "%1 (%2)"},
    {"about_source_none", "无", "none"},
    {"about_built", "使用 /proc 与 Qt 6 构建。", "Built on /proc and Qt 6."},
    // The floating strip.
    {"float_cpu", "CPU: %1%", "CPU: %1%"},
    {"float_memory", "内存: %1%", "Mem: %1%"},
    {"float_disk", "硬盘: ", "Disk: "},
    {"float_up", "上传: ", "Up: "},
    {"float_down", "下载: ", "Down: "},
    // The connection list: durations of a day and more, TCP states.
    {"days", "天", "days"},
    {"CLOSED", "CLOSED", "CLOSED"},
    {"LISTEN", "LISTEN", "LISTEN"},
    {"SYN_SENT", "SYN_SENT", "SYN_SENT"},
    {"SYN_RECEIVED", "SYN_RECEIVED", "SYN_RECEIVED"},
    {"ESTABLISHED", "ESTABLISHED", "ESTABLISHED"},
    {"FIN_WAIT1", "FIN_WAIT1", "FIN_WAIT1"},
    {"FIN_WAIT2", "FIN_WAIT2", "FIN_WAIT2"},
    {"CLOSE_WAIT", "CLOSE_WAIT", "CLOSE_WAIT"},
    {"CLOSING", "CLOSING", "CLOSING"},
    {"LAST_ACK", "LAST_ACK", "LAST_ACK"},
    {"TIME_WAIT", "TIME_WAIT", "TIME_WAIT"},
    {"DELETE_TCB", "DELETE_TCB", "DELETE_TCB"},
    // The chat programs whose names are words (the others are names in both languages).
    {"chat_fetion", "飞信", "Fetion"},
    {"chat_aliwangwang", "阿里旺旺", "AliWangWang"},
    {"chat_baiduhi", "百度Hi", "Baidu Hi"},
    {"chat_sinauc", "新浪UC", "Sina UC"},
    // The history page.
    {"tabname_history", "历史流量", "History"},
    {"history_today", "今天", "Today"},
    {"history_7days", "7天", "7 days"},
    {"history_30days", "30天", "30 days"},
    {"history_12months", "12个月", "12 months"},
    {"history_month", "按月", "Month"},
    {"history_by_program", "按程序", "By program"},
    {"history_by_host", "按主机", "By host"},
    {"history_export", "导出CSV", "Export CSV"},
    {"history_export_chart", "图表的各时段", "The chart's points"},
    {"history_col_program", "程序", "Program"},
    {"history_col_received", "接收", "Received"},
    {"history_col_sent", "发送", "Sent"},
    {"history_col_total", "合计", "Total"},
    {"history_col_share", "占比", "Share"},
    {"history_col_address", "远程地址", "Remote address"},
    {"history_col_dnsname", "域名", "DNS name"},
    {"history_col_location", "地理位置", "Location"},
    {"history_other_programs", "（其他程序）", "(other programs)"},
    {"history_no_program", "（无程序）", "(no program)"},
    {"history_other_hosts", "（其他主机）", "(other hosts)"},
    {"history_received", "接收", "Received"},
    {"history_sent", "发送", "Sent"},
    {"history_covered", "实际统计：%1（较早的数据只按更长的时段保存）", "Answered for %1 (older data is kept in longer buckets only)"},
    {"history_none_yet", "尚无历史记录", "No history recorded yet"},
    {"history_unreadable", "无法读取历史：%1", "Cannot read the history: %1"},
    {"history_status_not_here", "本窗口不记录历史", "This window records no history"},
    {"history_status_recording", "正在记录", "Recording"},
    {"history_status_other", "另一个程序正在记录", "Another program records"},
    {"history_status_off", "记录已关闭", "Recording is off"},
    {"history_status_failing", "暂时无法写入历史，稍后重试", "Cannot write the history now; retrying"},
    {"history_status_starting", "正在打开历史", "Opening the history"},
    {"history_forget_program_ask", "从历史中删除程序 %1 的全部记录？", "Remove everything the history holds of the program %1?"},
    {"history_forget_host_ask", "从历史中删除主机 %1 的全部记录？", "Remove everything the history holds of the host %1?"},
    {"history_clear_ask", "删除全部历史记录？此操作无法撤销。", "Remove the whole history? This cannot be undone."},
    {"history_other_writer_note", "另一个程序正在记录：它尚未写入的最近一分钟仍会在之后出现。", "Another program records: what it has not written yet (its last minute) will still appear afterwards."},
    {"history_changed", "已从历史中删除", "Removed from the history"},
    {"history_change_failed", "无法更改历史：%1", "Cannot change the history: %1"},
    {"history_forget_program", "从历史中删除此程序...", "Forget this program..."},
    {"history_forget_host", "从历史中删除此主机...", "Forget this host..."},
    {"history_clear", "清除全部历史...", "Clear all history..."},
    {"history_exported", "已导出到 %1", "Exported to %1"},
    {"history_export_failed", "无法导出：%1", "Cannot export: %1"},
    {"history_programs_caption", "程序（%1）", "Programs (%1)"},
    {"history_hosts_caption", "主机（%1）", "Hosts (%1)"},
    {"history_pick_program", "选择一个程序以查看它的主机", "Select a program to see its hosts"},
    {"history_pick_host", "选择一个主机以查看它的程序", "Select a host to see its programs"},
    {"history_hosts_of", "%1 的主机", "Hosts of %1"},
    {"history_programs_of", "与 %1 通信的程序", "Programs that talked to %1"},
    // The program menu's history and export items.
    {"menu_history_record", "记录历史流量", "Record history"},
    {"menu_history_clear", "清除全部历史...", "Clear all history..."},
    {"menu_export_csv", "将当前列表导出为CSV...", "Export the list as CSV..."},
    {"export_failed", "无法写入 %1：%2", "Cannot write %1: %2"},
    // The status bar's address cell while the chat list is filtered.
    {"chatips", "聊天访问IP数：", "Chat addresses:"},
};

constexpr bool present(const char* text)
{
    return text != nullptr && *text != '\0';
}

// Every key has a text in every language, and no key is there twice. The keys are sorted
// to find twins, so that the check stays within what a compiler evaluates at compile time
// however long the table grows.
template <std::size_t N>
constexpr bool complete(const BuiltinText (&texts)[N])
{
    std::array<std::string_view, N> keys{};
    for (std::size_t i = 0; i < N; ++i) {
        if (!present(texts[i].key) || !present(texts[i].zh) || !present(texts[i].en))
            return false;
        keys[i] = texts[i].key;
    }
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
}

static_assert(complete(kTexts), "every UI text needs its Chinese and its English text, and a key of its own");

} // namespace

std::span<const BuiltinText> builtinTexts()
{
    return kTexts;
}

void registerBuiltinTexts(ConfigStore& store)
{
    const Language language = store.language();
    for (const BuiltinText& entry : kTexts) {
        if (entry.wide)
            store.setTextW(entry.key, entry.text(language));
        else
            store.setText(entry.key, entry.text(language));
    }
}

void useLanguage(ConfigStore& store, Language language)
{
    store.setLanguage(language);
    registerBuiltinTexts(store);
}

} // namespace lumivex::config
