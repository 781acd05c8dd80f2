#include "EventPump.h"

#include "hostinfo/XNetIoRing.h"
#include "hostinfo/XPCProcessInfo.h"

void EventPump::run()
{
    if (!m_ring)
        return;
    ORVANEPRO_NetIo event;
    while (!m_stop.load(std::memory_order_acquire)) {
        if (m_ring->popNetIo(&event))
            m_info.addNetData(event);
    }
}

void EventPump::stop()
{
    m_stop.store(true, std::memory_order_release);
    if (m_ring)
        m_ring->wake();
    join();
}
