#include "platform/RawSocket.h"

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace platform {

RawUdpSocket::RawUdpSocket()
{
    // A raw socket of protocol UDP is handed a copy of every UDP datagram for its address.
    m_fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_UDP);
    if (m_fd == -1)
        m_createError = errno;
}

RawUdpSocket::~RawUdpSocket()
{
    close();
}

int RawUdpSocket::bind(uint32_t addr, uint16_t port, int receiveBuffer, int timeoutMs)
{
    if (m_fd == -1)
        return m_createError ? m_createError : EBADF;
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = port;
    sin.sin_addr.s_addr = addr;
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) != 0)
        return errno;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) != 0)
        return errno;
    timeval timeout{};
    timeout.tv_sec = timeoutMs / 1000;
    timeout.tv_usec = (timeoutMs % 1000) * 1000;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)
        return errno;
    return 0;
}

int RawUdpSocket::receive(char* buf, int size)
{
    if (!buf || size <= 0 || m_fd == -1)
        return 0;
    const ssize_t n = ::recv(m_fd, buf, size_t(size), 0);
    if (n >= 0)
        return int(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    return -1;
}

void RawUdpSocket::close()
{
    if (m_fd != -1) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace platform
