#include "platform/linux/SockDiagReply.h"

#include <netinet/in.h>

#include "platform/linux/ProcTables.h"

namespace platform {

namespace {

// An IPv6 address as IPv4: ::ffff:a.b.c.d, or the unspecified address of a dual-stack socket.
bool asIpv4(const uint32_t* words, uint32_t& out)
{
    if (words[0] != 0 || words[1] != 0)
        return false;
    if (words[2] == 0 && words[3] == 0) {
        out = 0;
        return true;
    }
    if (words[2] != htonl(0xFFFF))
        return false;
    out = words[3];
    return true;
}

} // namespace

bool rowOfDiagMessage(const inet_diag_msg& d, SocketProtocol protocol, SocketRow& row)
{
    if (d.idiag_family == AF_INET) {
        row.localAddr = d.id.idiag_src[0];
        row.remoteAddr = d.id.idiag_dst[0];
    } else if (!asIpv4(d.id.idiag_src, row.localAddr) || !asIpv4(d.id.idiag_dst, row.remoteAddr)) {
        return false;
    }
    row.localPort = d.id.idiag_sport;
    row.remotePort = d.id.idiag_dport;
    row.state = protocol == SocketProtocol::Tcp ? translateTcpState(d.idiag_state) : 0;
    row.inode = d.idiag_inode;
    row.pid = 0;
    return true;
}

} // namespace platform
