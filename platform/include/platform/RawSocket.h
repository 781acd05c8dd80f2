#pragma once

#include <cstdint>

namespace platform {

// A raw IPv4 socket that receives a copy of every UDP datagram addressed to one local
// address, IP header included. One thread owns it.
class RawUdpSocket {
public:
    // Creates the socket; createError() tells why when that failed.
    RawUdpSocket();
    ~RawUdpSocket();
    RawUdpSocket(const RawUdpSocket&) = delete;
    RawUdpSocket& operator=(const RawUdpSocket&) = delete;

    // Binds to addr and port (network order), sets the kernel receive buffer (bytes) and the
    // receive timeout. Returns 0, or the system error number of the step that failed.
    int bind(uint32_t addr, uint16_t port, int receiveBuffer, int timeoutMs);
    // Waits for one datagram (at most the receive timeout). Its length, 0 when none arrived
    // in time or the wait was interrupted, -1 on an error.
    int receive(char* buf, int size);
    void close();
    bool isOpen() const { return m_fd != -1; }
    // The error number of socket creation, 0 when it succeeded.
    int createError() const { return m_createError; }

private:
    int m_fd = -1;
    int m_createError = 0;
};

} // namespace platform
