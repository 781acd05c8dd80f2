#pragma once

#include "platform/RawSocket.h"

// The raw socket of the DNS listener: every IPv4 UDP datagram this host sends to port 53 or
// receives from port 53 (or only those it receives), on every local address (those added
// later too), IP header included, with its direction. One thread owns it; it is neither
// copyable nor shared.
class XSnifferSocket {
public:
    static constexpr int kReceiveBuffer = 819200;  // kernel receive buffer, bytes
    // receive() returns at least this often. Stop requests wake it (see wake()), so the
    // timeout is only a backstop; where the socket cannot be woken its wait is shorter.
    static constexpr int kReceiveTimeoutMs = 30000;

    XSnifferSocket() = default;
    ~XSnifferSocket() = default;
    XSnifferSocket(const XSnifferSocket&) = delete;
    XSnifferSocket& operator=(const XSnifferSocket&) = delete;

    // Starts receiving with the receive buffer and timeout above: the answers, and unless
    // answersOnly the queries too. Returns 0, or the system error number of the step that
    // failed. There is no receive-all switch here: the socket sees every local address by
    // itself, so the mode stays 0.
    int open(bool answersOnly = false) { return m_socket.open(kReceiveBuffer, kReceiveTimeoutMs, answersOnly); }
    // Waits for one datagram (at most the receive timeout). Returns its length, 0 when none
    // arrived in time (or buf is null, size <= 0), -1 on an error; outgoing tells whether
    // this host sent it.
    int receive(char* buf, int size, bool* outgoing) { return m_socket.receive(buf, size, outgoing); }
    // Any thread, as long as the socket lives: a waiting receive() returns 0 now.
    void wake() { m_socket.wake(); }
    // Datagrams the kernel dropped because the socket's buffer was full, since open(). Any
    // thread, one at a time.
    uint64_t drops() { return m_socket.drops(); }
    // 0: every datagram is seen; 1: only those the stack delivers anyway.
    int getMode() const { return m_mode; }
    void close() { m_socket.close(); }
    bool isOpen() const { return m_socket.isOpen(); }
    // The error number of socket creation, 0 when it succeeded.
    int createError() const { return m_socket.createError(); }

private:
    platform::RawDnsSocket m_socket;
    int m_mode = 0;
};
