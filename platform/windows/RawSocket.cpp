// The DNS sniffer's socket. Windows has no socket that sees every interface, so there is one
// raw socket per local IPv4 address, each switched into receive-all mode (SIO_RCVALL,
// RCVALL_IPLEVEL): it is handed every IP packet of its address's interface, both ways, IP
// header included. Where receive-all or a raw socket of protocol IP is refused (an older
// system, or Wine), a raw socket of protocol UDP stands in: it sees the UDP datagrams that
// reach its address, which is where DNS answers arrive. The table of addresses is read again
// every few seconds, so addresses added later get a socket too. Of all that arrives, only the
// datagrams this host sends to port 53 or receives from port 53 are handed on, each by the
// socket of the address it was sent from or to (several addresses may share an interface).
#include "platform/RawSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "corekit/XLog.h"
#include "platform/ByteOrder.h"
#include "platform/LocalAddresses.h"
#include "platform/windows/WideText.h"
#include "platform/windows/Winsock.h"

namespace platform {

namespace {

// How often the address table is read for addresses that came or went.
constexpr auto kRescan = std::chrono::seconds(5);
constexpr uint16_t kDnsPort = 53;

struct AddressSocket {
    uint32_t addr = 0;  // network order
    SOCKET socket = INVALID_SOCKET;
};

SOCKET openRaw(int protocol, int& error)
{
    const SOCKET s = ::WSASocketW(AF_INET, SOCK_RAW, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    error = s == INVALID_SOCKET ? ::WSAGetLastError() : 0;
    return s;
}

int bindAndTune(SOCKET s, uint32_t addr, int receiveBuffer)
{
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = addr;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) != 0)
        return ::WSAGetLastError();
    if (::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer) != 0)
        return ::WSAGetLastError();
    return 0;
}

std::string named(uint32_t addr)
{
    return "DNS listener on " + dottedIpv4(netToHost32(addr));
}

// A socket for one address: receive-all where the system grants it, else UDP only. error
// holds the system's error number when neither could be had.
SOCKET openFor(uint32_t addr, int receiveBuffer, int& error)
{
    int ipError = 0;
    SOCKET s = openRaw(IPPROTO_IP, ipError);
    if (s != INVALID_SOCKET) {
        error = bindAndTune(s, addr, receiveBuffer);
        DWORD mode = RCVALL_IPLEVEL;
        DWORD returned = 0;
        if (error == 0 && ::WSAIoctl(s, SIO_RCVALL, &mode, sizeof mode, nullptr, 0, &returned, nullptr, nullptr) == 0)
            return s;
        ipError = error ? error : ::WSAGetLastError();
        ::closesocket(s);
    }
    s = openRaw(IPPROTO_UDP, error);
    if (s == INVALID_SOCKET)
        return s;
    if ((error = bindAndTune(s, addr, receiveBuffer)) != 0) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    XLog::debug(1, named(addr) + ": no receive-all mode (" + systemErrorText(DWORD(ipError)) +
                       "); it sees the UDP datagrams that reach the address, not the queries sent");
    return s;
}

// Whether the datagram in d[0..n) is DNS traffic of addr, and which way it went. An answer
// is received from port 53 at addr; a query is sent from addr to port 53. Between two ports
// of one address (loopback) both hold: the port 53 side decides.
bool dnsOf(const unsigned char* d, int n, uint32_t addr, bool& outgoing)
{
    if (n < 28 || (d[0] >> 4) != 4 || d[9] != 17)
        return false;
    const int h = (d[0] & 0x0F) * 4;
    if (h < 20 || n < h + 8 || ((d[6] & 0x1F) | d[7]) != 0)
        return false;  // no room for the UDP header, or a later fragment (no ports)
    uint32_t source, destination;
    std::memcpy(&source, d + 12, 4);
    std::memcpy(&destination, d + 16, 4);
    const uint16_t sourcePort = uint16_t(d[h] << 8 | d[h + 1]);
    const uint16_t destinationPort = uint16_t(d[h + 2] << 8 | d[h + 3]);
    if (destination == addr && sourcePort == kDnsPort) {
        outgoing = false;
        return true;
    }
    if (source == addr && destinationPort == kDnsPort) {
        outgoing = true;
        return true;
    }
    return false;
}

} // namespace

struct RawDnsSocket::Backend {
    std::vector<AddressSocket> sockets;
    int receiveBuffer = 0;
    int timeoutMs = 250;
    bool opened = false;
    std::chrono::steady_clock::time_point scanned{};

    ~Backend()
    {
        for (const AddressSocket& a : sockets)
            ::closesocket(a.socket);
    }

    // Opens sockets for new addresses and closes those of addresses that are gone. The
    // error of the first address that got no socket, 0 when every one got one.
    int rescan()
    {
        scanned = std::chrono::steady_clock::now();
        std::vector<uint32_t> addrs;
        std::string why;
        if (!readLocalIpv4Addresses(addrs, &why))
            return WSAENETDOWN;
        addrs.erase(std::remove(addrs.begin(), addrs.end(), 0u), addrs.end());
        for (auto it = sockets.begin(); it != sockets.end();) {
            if (std::find(addrs.begin(), addrs.end(), it->addr) == addrs.end()) {
                ::closesocket(it->socket);
                it = sockets.erase(it);
            } else {
                ++it;
            }
        }
        int firstError = 0;
        for (const uint32_t addr : addrs) {
            const bool known = std::any_of(sockets.begin(), sockets.end(), [addr](const AddressSocket& a) {
                return a.addr == addr;
            });
            if (known)
                continue;
            int error = 0;
            const SOCKET s = openFor(addr, receiveBuffer, error);
            if (s != INVALID_SOCKET)
                sockets.push_back({addr, s});
            else if (firstError == 0)
                firstError = error ? error : WSAENOTSOCK;
        }
        return firstError;
    }
};

RawDnsSocket::RawDnsSocket()
{
    if (!ensureWinsock()) {
        m_createError = WSASYSNOTREADY;
        return;
    }
    // Only whether raw sockets may be had at all is known here (they need an administrator);
    // the sockets themselves are made by open(), one per address.
    int ipError = 0, udpError = 0;
    SOCKET probe = openRaw(IPPROTO_IP, ipError);
    if (probe == INVALID_SOCKET)
        probe = openRaw(IPPROTO_UDP, udpError);
    if (probe == INVALID_SOCKET) {
        m_createError = udpError ? udpError : ipError;
        return;
    }
    ::closesocket(probe);
    m_backend = new Backend;
    m_fd = 0;  // open: the sockets live in the backend
}

RawDnsSocket::~RawDnsSocket()
{
    close();
}

int RawDnsSocket::open(int receiveBuffer, int timeoutMs, bool answersOnly)
{
    if (m_fd == -1 || !m_backend)
        return m_createError ? m_createError : WSAENOTSOCK;
    m_answersOnly = answersOnly;
    m_backend->receiveBuffer = receiveBuffer;
    // Nothing can wake a select() here: its wait stays short enough for a stop to be seen.
    m_backend->timeoutMs = timeoutMs > 0 ? std::min(timeoutMs, kUnwokenTimeoutMs) : kUnwokenTimeoutMs;
    const int rc = m_backend->rescan();
    if (m_backend->sockets.empty())
        return rc ? rc : WSAEADDRNOTAVAIL;
    m_backend->opened = true;
    return 0;
}

int RawDnsSocket::receive(char* buf, int size, bool* outgoing)
{
    if (!buf || size <= 0 || m_fd == -1 || !m_backend || !m_backend->opened)
        return 0;
    Backend& b = *m_backend;
    if (std::chrono::steady_clock::now() - b.scanned >= kRescan)
        b.rescan();
    if (b.sockets.empty()) {
        ::Sleep(DWORD(b.timeoutMs));
        return 0;
    }
    fd_set readable;
    FD_ZERO(&readable);
    for (const AddressSocket& a : b.sockets)
        if (readable.fd_count < FD_SETSIZE)
            FD_SET(a.socket, &readable);
    timeval wait{long(b.timeoutMs / 1000), long(b.timeoutMs % 1000) * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    if (ready == 0)
        return 0;
    if (ready < 0)
        return -1;
    for (const AddressSocket& a : b.sockets) {
        if (!FD_ISSET(a.socket, &readable))
            continue;
        int n = ::recv(a.socket, buf, size, 0);
        if (n < 0) {
            if (::WSAGetLastError() != WSAEMSGSIZE)
                continue;  // this socket's error; the others go on
            n = size;      // the buffer holds the datagram's first size bytes
        }
        bool sent = false;
        if (!dnsOf(reinterpret_cast<const unsigned char*>(buf), n, a.addr, sent) || (sent && m_answersOnly))
            continue;
        if (outgoing)
            *outgoing = sent;
        return n;
    }
    return 0;  // nothing of ours among what arrived
}

void RawDnsSocket::wake() {}

uint64_t RawDnsSocket::drops()
{
    return m_drops;  // Windows counts no drops of a raw socket
}

void RawDnsSocket::close()
{
    delete m_backend;
    m_backend = nullptr;
    m_fd = -1;
}

} // namespace platform
