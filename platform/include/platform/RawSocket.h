#pragma once

#include <cstdint>

namespace platform {

// A raw socket that sees the DNS traffic of every local address, those added later included:
// each IPv4 UDP datagram this host sends to port 53 and each one it receives from port 53,
// IP header first, with its direction; or only the ones it receives, where the queries are
// known otherwise. Datagrams of other hosts, and those this host only forwards, are not seen.
// One thread owns it; wake() and drops() may be called from another (drops() by one thread at
// a time).
class RawDnsSocket {
public:
    // Creates the socket; createError() tells why when that failed.
    RawDnsSocket();
    ~RawDnsSocket();
    RawDnsSocket(const RawDnsSocket&) = delete;
    RawDnsSocket& operator=(const RawDnsSocket&) = delete;

    // The longest a receive waits where the backend cannot be woken (see wake()).
    static constexpr int kUnwokenTimeoutMs = 250;

    // Starts receiving with a kernel receive buffer of receiveBuffer bytes and a receive
    // timeout of timeoutMs: the answers this host receives, and with answersOnly false the
    // queries it sends too. Seeing what the host sends costs every packet it sends (Linux
    // copies each one for the socket), seeing only what it receives costs those it receives.
    // Returns 0, or the system error number of the step that failed.
    int open(int receiveBuffer, int timeoutMs, bool answersOnly = false);
    // Waits for one datagram (at most the receive timeout) and copies at most size bytes of
    // it. Its length, 0 when none arrived in time, the wait was interrupted or woken, -1 on an
    // error; outgoing (when given) tells whether this host sent it.
    int receive(char* buf, int size, bool* outgoing);
    // Any thread, as long as the socket lives: a receive() that waits returns 0 now, else the
    // next one returns 0 at once. A backend that has no way to be woken (Windows) ignores it
    // and waits at most kUnwokenTimeoutMs instead, so that its owner sees a stop as soon.
    void wake();
    // Datagrams the kernel dropped since open() because the receive buffer was full.
    uint64_t drops();
    void close();
    bool isOpen() const { return m_fd != -1; }
    // The error number of socket creation, 0 when it succeeded.
    int createError() const { return m_createError; }

private:
    // What a backend keeps beyond one descriptor (Windows: a socket per local address).
    struct Backend;

    int m_fd = -1;
    int m_wakeFd = -1;     // Linux: an eventfd that wake() signals
    int m_timeoutMs = -1;  // Linux: the receive timeout, -1 for none
    bool m_answersOnly = false;
    int m_createError = 0;
    uint64_t m_drops = 0;
    Backend* m_backend = nullptr;
};

} // namespace platform
