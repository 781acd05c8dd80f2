#pragma once

#include <atomic>

#include "corekit/XThread.h"

class XNetIoRing;
class XPCProcessInfo;

// Takes network events out of the kernel I/O ring and attributes them to their processes.
class EventPump : public XThread {
public:
    EventPump(XPCProcessInfo& info, XNetIoRing* ring) : m_info(info), m_ring(ring) {}
    ~EventPump() override { stop(); }
    // Ends run() and joins the thread.
    void stop();

protected:
    void run() override;

private:
    XPCProcessInfo& m_info;
    XNetIoRing* m_ring;
    std::atomic<bool> m_stop{false};
};
