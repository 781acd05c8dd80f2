#include "capture/XParserResult.h"

unsigned long XParserResult::m_lastIPAddress = 0;
double XParserResult::m_staticIPBytes = 0;
double XParserResult::m_staticUserIPBytes = 0;

XParserResult::XParserResult(unsigned long localIP, unsigned short localPort, int type)
    : m_localIP(localIP), m_localPort(localPort), m_type(type)
{
}

XParserResult::~XParserResult() = default;

bool XParserResult::match(unsigned long ip, unsigned short port, int type)
{
    return ip == m_localIP && port == m_localPort && type == m_type;
}

double XParserResult::getTotalPackets(int which)
{
    XLockGuard guard(m_lock);
    if (which == 0 || which == 1)
        return m_totalPackets[which];
    return m_totalPackets[0] + m_totalPackets[1];
}

double XParserResult::getTotalBytes(int which)
{
    XLockGuard guard(m_lock);
    if (which == 0 || which == 1)
        return m_totalBytes[which];
    return m_totalBytes[0] + m_totalBytes[1];
}

void XParserResult::addTotals(int direction, double size, uint32_t now, double packets)
{
    if (direction != 0 && direction != 1)
        return;
    m_totalBytes[direction] += size;
    m_totalPackets[direction] += packets;
    m_lastUpdate = now;
}

void XParserResult::resetTotals()
{
    m_totalBytes[0] = m_totalBytes[1] = 0;
    m_totalPackets[0] = m_totalPackets[1] = 0;
}
