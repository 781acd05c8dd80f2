// The DNS sniffer's socket: a raw IPv4 socket bound to one local address and switched into
// receive-all mode (SIO_RCVALL), so it is handed every IP packet of that address, both ways,
// IP header included. Where the system refuses receive-all, or a raw socket of protocol IP
// altogether (an older system, or Wine), a raw socket of protocol UDP takes its place: it sees
// the UDP datagrams that reach the address, which is where DNS answers arrive.
#include "platform/RawSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <cstdint>

#include "corekit/XLog.h"
#include "platform/ByteOrder.h"
#include "platform/windows/WideText.h"
#include "platform/windows/Winsock.h"

namespace platform {

namespace {

// Socket handles fit in 32 bits (the system keeps them so for 32-bit processes); INVALID_SOCKET
// is kept as -1.
SOCKET socketOf(int fd)
{
    return fd == -1 ? INVALID_SOCKET : SOCKET(intptr_t(fd));
}

int fdOf(SOCKET s)
{
    return s == INVALID_SOCKET ? -1 : int(intptr_t(s));
}

int openRaw(int protocol, int& error)
{
    const SOCKET s = ::WSASocketW(AF_INET, SOCK_RAW, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    error = s == INVALID_SOCKET ? ::WSAGetLastError() : 0;
    return fdOf(s);
}

int bindAndTune(SOCKET s, uint32_t addr, uint16_t port, int receiveBuffer, int timeoutMs)
{
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = port;
    sin.sin_addr.s_addr = addr;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) != 0)
        return ::WSAGetLastError();
    if (::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer) != 0)
        return ::WSAGetLastError();
    const DWORD timeout = DWORD(timeoutMs);  // milliseconds, not a timeval, on Windows
    if (::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout) != 0)
        return ::WSAGetLastError();
    return 0;
}

int protocolOf(SOCKET s)
{
    WSAPROTOCOL_INFOW info{};
    int size = sizeof info;
    if (::getsockopt(s, SOL_SOCKET, SO_PROTOCOL_INFOW, reinterpret_cast<char*>(&info), &size) != 0)
        return -1;
    return info.iProtocol;
}

void logNoReceiveAll(uint32_t addr, const std::string& why)
{
    XLog::debug(1, "DNS listener " + dottedIpv4(netToHost32(addr)) + ": no receive-all mode (" + why +
                       "); it sees the UDP datagrams that reach the address");
}

} // namespace

RawUdpSocket::RawUdpSocket()
{
    if (!ensureWinsock()) {
        m_createError = WSASYSNOTREADY;
        return;
    }
    // Protocol 0 (IP): the protocol receive-all mode needs; UDP where that is refused.
    m_fd = openRaw(IPPROTO_IP, m_createError);
    if (m_fd == -1) {
        int error = 0;
        m_fd = openRaw(IPPROTO_UDP, error);
        if (m_fd != -1)
            m_createError = 0;
    }
}

RawUdpSocket::~RawUdpSocket()
{
    close();
}

int RawUdpSocket::bind(uint32_t addr, uint16_t port, int receiveBuffer, int timeoutMs)
{
    if (m_fd == -1)
        return m_createError ? m_createError : WSAENOTSOCK;
    if (const int rc = bindAndTune(socketOf(m_fd), addr, port, receiveBuffer, timeoutMs))
        return rc;
    if (protocolOf(socketOf(m_fd)) == IPPROTO_UDP) {
        logNoReceiveAll(addr, "no raw socket of protocol IP");
        return 0;
    }
    DWORD mode = RCVALL_IPLEVEL;
    DWORD returned = 0;
    if (::WSAIoctl(socketOf(m_fd), SIO_RCVALL, &mode, sizeof mode, nullptr, 0, &returned, nullptr, nullptr) == 0)
        return 0;
    const int refused = ::WSAGetLastError();
    int error = 0;
    const int udp = openRaw(IPPROTO_UDP, error);
    if (udp == -1) {
        XLog::debug(1, "DNS listener " + dottedIpv4(netToHost32(addr)) + ": receive-all mode refused (" +
                           systemErrorText(DWORD(refused)) + ") and no UDP raw socket: " + systemErrorText(DWORD(error)));
        return refused;
    }
    close();
    m_fd = udp;
    if (const int rc = bindAndTune(socketOf(m_fd), addr, port, receiveBuffer, timeoutMs))
        return rc;
    logNoReceiveAll(addr, "refused: " + systemErrorText(DWORD(refused)));
    return 0;
}

int RawUdpSocket::receive(char* buf, int size)
{
    if (!buf || size <= 0 || m_fd == -1)
        return 0;
    // The wait is bounded by select as well: a receive timeout alone does not end every
    // blocked receive (Wine's raw sockets ignore it), and stop requests must take effect.
    const SOCKET s = socketOf(m_fd);
    DWORD timeoutMs = 0;
    int length = sizeof timeoutMs;
    if (::getsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeoutMs), &length) != 0 || timeoutMs == 0)
        timeoutMs = 250;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{long(timeoutMs / 1000), long(timeoutMs % 1000) * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    if (ready == 0)
        return 0;
    if (ready < 0)
        return -1;
    const int n = ::recv(s, buf, size, 0);
    if (n >= 0)
        return n;
    switch (::WSAGetLastError()) {
    case WSAETIMEDOUT:
    case WSAEINTR:
    case WSAEWOULDBLOCK:
        return 0;
    case WSAEMSGSIZE:
        return size;  // the buffer holds the datagram's first size bytes
    default:
        return -1;
    }
}

void RawUdpSocket::close()
{
    if (m_fd != -1) {
        ::closesocket(socketOf(m_fd));
        m_fd = -1;
    }
}

} // namespace platform
