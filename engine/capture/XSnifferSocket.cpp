#include "capture/XSnifferSocket.h"

// POSIX sockets: the only operating-system calls of the capture engine.
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

XSnifferSocket::XSnifferSocket()
{
    m_socket = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_UDP);
    if (m_socket == -1)
        m_createError = errno;
}

XSnifferSocket::~XSnifferSocket()
{
    close();
}

int XSnifferSocket::bind(unsigned long ip, int port)
{
    if (m_socket == -1)
        return m_createError ? m_createError : EBADF;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = in_addr_t(ip);
    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
        return errno;
    const int bufferSize = kReceiveBuffer;
    if (::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize) != 0)
        return errno;
    timeval timeout{};
    timeout.tv_usec = kReceiveTimeoutMs * 1000;
    if (::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)
        return errno;
    return 0;
}

int XSnifferSocket::receive(char* buf, int size)
{
    if (!buf || size <= 0)
        return 0;
    const ssize_t n = ::recv(m_socket, buf, size_t(size), 0);
    if (n >= 0)
        return int(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    return -1;
}

void XSnifferSocket::close()
{
    if (m_socket != -1) {
        ::close(m_socket);
        m_socket = -1;
    }
}
