#include "capture/XPacketBuffer.h"

#include <algorithm>
#include <cstring>

XPacketBuffer::XPacketBuffer() : m_data(new char[kSize])
{
}

XPacketBuffer::~XPacketBuffer()
{
    delete[] m_data;
}

int XPacketBuffer::save(const char* data, int len, int direction)
{
    m_direction = direction;
    m_length = (data && len > 0) ? std::min(len, kSize) : 0;
    if (m_length > 0)
        std::memcpy(m_data, data, size_t(m_length));
    return m_length;
}

int XPacketBuffer::get(char* buf, int size) const
{
    const int n = (buf && size > 0) ? std::min(size, m_length) : 0;
    if (n > 0)
        std::memcpy(buf, m_data, size_t(n));
    return n;
}
