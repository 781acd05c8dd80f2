#include "config/BuiltinTexts.h"

#include "config/ConfigStore.h"

#include <array>

namespace lumivex::config {

namespace {

// UTF-8 texts of every window, message box and menu label.
constexpr std::array<BuiltinText, 133> kTexts{{
    {"only_os_xp", "Lumivex只能运行在Window XP 及以上操作系统。", false},
    {"need_admin_user", "     您当前是非计算机管理员身份。\n\n Lumivex需要“计算机管理员”权限才能看到全部数据。", false},
    {"Lumivex", "Lumivex", false},
    {"Lumivex_is_run", "不能同时运行多个Lumivex，点击“确定”按钮退出。", false},
    {"not_on_linehelp", "无法获取在线帮助，请稍后再试。", false},
    {"titlename", "Lumivex", false},
    {"remoteip", "远程IP地址", false},
    {"friend_remoteip", "对方IP地址", false},
    {"remoteport", "远程端口", false},
    {"localport", "本地端口", false},
    {"protocol", "聊天类型", false},
    {"dnsname", "域 名", false},
    {"sendbyte", "总上传字节", false},
    {"recvbyte", "总下载字节", false},
    {"lasttime", "最近传输时间", false},
    {"direction", "方 向", false},
    {"program", "程 序", false},
    {"location", "地点", false},
    {"unknown", "未知", false},
    {"sendbytes", "总上传字节：", false},
    {"recvbytes", "总下载字节：", false},
    {"sendpackets", "总上传数据包：", false},
    {"recvpackets", "总下载数据包：", false},
    {"tcpips", "TCP访问IP数：", false},
    {"udpips", "UDP访问IP数：", false},
    {"otherips", "其它访问IP数：", false},
    {"topn_tabwnd_name", "TOP 10", true},
    {"tcp_all_bytes", "TCP流量", true},
    {"tcp_all_packets", "TCP包数", true},
    {"tcp_in_bytes", "TCP下载字节", true},
    {"tcp_in_packets", "TCP下载包数", true},
    {"tcp_out_bytes", "TCP上传字节", true},
    {"tcp_out_packets", "TCP上传包数", true},
    {"udp_all_bytes", "UDP流量", true},
    {"udp_all_packets", "UDP包数", true},
    {"udp_in_bytes", "UDP下载字节", true},
    {"udp_in_packets", "UDP下载包数", true},
    {"udp_out_bytes", "UDP上传字节", true},
    {"udp_out_packets", "UDP上传包数", true},
    {"paiming", "排名", false},
    {"topnvalue", "流量", false},
    {"topnwnddesc", "排名数据柱状图", false},
    {"mon_userspeed", "有效速率", false},
    {"mon_bsend", "上传速率", false},
    {"mon_brcv", "下载速率", false},
    {"mon_netutil", "网络传输效率[％]", false},
    {"mon_ptotal", "每秒传输数据包(个/秒)", false},
    {"mon_psend", "每秒上传数据包(个/秒)", false},
    {"mon_prcv", "每秒下载数据包(个/秒)", false},
    {"mon_tcpb", "TCP速率(字节/秒)", false},
    {"mon_tcpsend", "TCP上传速率(字节/秒)", false},
    {"mon_tcprcv", "TCP下载速率(字节/秒)", false},
    {"mon_tcpp", "TCP包速率", false},
    {"mon_tcppsend", "TCP包上传速率", false},
    {"mon_tcpprcv", "TCP包下载速率", false},
    {"mon_udpb", "UDP速率(字节/秒)", false},
    {"mon_udpsend", "UDP上传速率(字节/秒)", false},
    {"mon_udprcv", "UDP下载速率(字节/秒)", false},
    {"mon_udpp", "UDP包速率", false},
    {"mon_udppsend", "UDP包上传速率", false},
    {"mon_udpprcv", "UDP包下载速率", false},
    {"ipwndname", "远程IP详细信息", false},
    {"ipwnd_ip", "远程IP地址", false},
    {"ipwnd_port", "远程端口", false},
    {"ipwnd_dns", "域名", false},
    {"ipwnd_loca", "地点", false},
    {"ipwnd_sb", "总上传字节", false},
    {"ipwnd_sp", "总上传包", false},
    {"ipwnd_rb", "总下载字节", false},
    {"ipwnd_rp", "总下载包", false},
    {"ipwnd_tb", "总字节数", false},
    {"ipwnd_tp", "总包数", false},
    {"ipwnd_bpp", "平均包大小", false},
    {"ipwnd_sbspeed", "最近上传字节", false},
    {"ipwnd_rbspeed", "最近下载字节", false},
    {"ipwnd_spspeed", "最近上传包", false},
    {"ipwnd_rpspeed", "最近下载包", false},
    {"ipwnd_time", "最近传输时间", false},
    {"ipwnd_curvtsp", "总网速(字节/秒)", false},
    {"ipwnd_curvssp", "上传网速(字节/秒)", false},
    {"ipwnd_curvrsp", "下载网速(字节/秒)", false},
    {"chart_label", "当前值:", false},
    {"tip_bytepanel", "当前网速(字节/秒)", false},
    {"tip_packetpanel", "当前数据包速率(个/秒)", false},
    {"tip_panel", "显示仪表", false},
    {"tip_curve", "显示曲线", false},
    {"tip_graph", "显示网速详情", false},
    {"panel_ipspeed", "网络速率(字节/秒)", false},
    {"panel_packetspeed", "数据包速率(个/秒)", false},
    {"tab_tcp", "TCP", false},
    {"tab_udp", "UDP", false},
    {"tab_other", "其它", false},
    {"tab_netconn", "网络连接", false},
    {"tab_topn", "流量排名", false},
    {"netconn_tcpudp", "TCP/UDP", false},
    {"netconn_program", "程序名", false},
    {"netconn_lip_port", "本机IP:端口", false},
    {"netconn_rip_port", "远程IP:端口", false},
    {"netconn_status", "状  态", false},
    {"netconn_time", "开始时间", false},
    {"netconn_timelen", "持续时长", false},
    {"netconn_pid", "PID", false},
    {"netconn_dnsname", "域名", false},
    {"netconn_location", "位置", false},
    {"pmon_processname", "程序", false},
    {"pmon_down_speed", "下载速度", false},
    {"pmon_up_speed", "上传速度", false},
    {"pmon_down_total", "总下载流量", false},
    {"pmon_up_total", "总上传流量", false},
    {"pmon_disk_rs", "读硬盘 B/S", false},
    {"pmon_disk_ws", "写硬盘 B/S", false},
    {"pmon_rw_toal", "硬盘读写总字节", false},
    {"pmon_processpath", "程序位置", false},
    {"tip_cpu_mem_usage", "CPU和内存（物理内存＋虚拟内存）的使用率（百分比）。双击鼠标左键显示各类网速曲线图。", false},
    {"tip_disk_graph", "硬盘当前读写速度。如果需要查看每个程序读写硬盘的情况，点击“流量排名”标签。", false},
    {"tip_net_graph", "网络当前发送和接收数据的速度。如果需要查看每个程序访问网络的情况，点击“流量排名”标签。", false},
    {"sum_cpu_usage", "CPU/内存使用", false},
    {"sum_disk_rw", "硬盘读写(字节/秒)", false},
    {"sum_net_speed", "网速(字节/秒)", false},
    {"sum_read", "读: ", false},
    {"sum_write", "写: ", false},
    {"sum_up", "上传: ", false},
    {"sum_down", "下载: ", false},
    {"tip_sum_process", "正在读写硬盘和访问网络的程序。如果需要查看其它程序的情况，点击“流量排名”标签。", false},
    {"sum_curr_process_disk", "当前读写硬盘的程序：", false},
    {"sum_curr_process_net", "当前访问网络的程序：", false},
    {"titlebar_free_ver", " ", false},
    {"titlebar_online_help", "在线帮助", false},
    {"titlebar_about", "关于Lumivex", false},
    {"advert_free_ver_descr", "Lumivex V3.0 免费版 \r\n 联系方式：", false},
    {"ipinfo_wnd_memo", "聊天流量说明：", false},
    {"ipinfo_wnd_memo_content", "    只有在与对方进行点对点通信时 （如：与对方传文件、非中转方式的语音或者视频聊天）， 显示的IP地址才可能是对方实际IP地址。\r\n \r\n    如果只是文字信息，则显示的通常是中转服务器的IP地址，而不是对方实际IP地址。\r\n \r\n  正在通信的地址会以红色标记。\r\n \r\n（注：显示的IP地址和地点仅供参考）", false},
    // The start-up notice of unusable data files.
    {"data_files_unusable", "以下数据文件无法使用，相应的内容将不显示：", false},
}};

} // namespace

std::span<const BuiltinText> builtinTexts()
{
    return kTexts;
}

void registerBuiltinTexts(ConfigStore& store)
{
    for (const BuiltinText& entry : kTexts) {
        if (entry.wide)
            store.setTextW(entry.key, entry.text);
        else
            store.setText(entry.key, entry.text);
    }
}

} // namespace lumivex::config
