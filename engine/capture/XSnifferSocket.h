#pragma once

#include "platform/RawSocket.h"

// A raw IPv4 socket that receives every UDP datagram addressed to one local address, IP
// header included. One thread owns it; it is neither copyable nor shared.
class XSnifferSocket {
public:
    static constexpr int kReceiveBuffer = 819200;  // kernel receive buffer, bytes
    static constexpr int kReceiveTimeoutMs = 250;   // receive() returns at least this often

    XSnifferSocket() = default;
    ~XSnifferSocket() = default;
    XSnifferSocket(const XSnifferSocket&) = delete;
    XSnifferSocket& operator=(const XSnifferSocket&) = delete;

    // Binds to ip (network order) and port (host order), sets the receive buffer and timeout.
    // Returns 0, or the system error number of the step that failed. There is no receive-all
    // switch here: a raw socket already sees every datagram of its protocol for the address,
    // so the mode stays 0.
    int bind(unsigned long ip, int port);
    // Waits for one datagram (at most the receive timeout). Returns its length, 0 when none
    // arrived in time (or buf is null, size <= 0), -1 on an error.
    int receive(char* buf, int size) { return m_socket.receive(buf, size); }
    // 0: every datagram for the address is seen; 1: only those the stack delivers anyway.
    int getMode() const { return m_mode; }
    void close() { m_socket.close(); }
    bool isOpen() const { return m_socket.isOpen(); }
    // The error number of socket creation, 0 when it succeeded.
    int createError() const { return m_socket.createError(); }

private:
    platform::RawUdpSocket m_socket;
    int m_mode = 0;
};
