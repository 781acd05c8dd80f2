#include "capture/XSnifferSocket.h"

#include "platform/ByteOrder.h"

int XSnifferSocket::bind(unsigned long ip, int port)
{
    return m_socket.bind(uint32_t(ip), platform::hostToNet16(uint16_t(port)), kReceiveBuffer,
                         kReceiveTimeoutMs);
}
