#include "capture/XPacketMgr.h"

#include <mutex>
#include <new>

#include "capture/XLocalListener.h"
#include "capture/XPacketQueueMgr.h"

XPacketMgr* XPacketMgr::m_instance = nullptr;

XPacketMgr* XPacketMgr::Instance()
{
    static std::once_flag once;
    std::call_once(once, [] { m_instance = new (std::nothrow) XPacketMgr(XPacketQueueMgr::Instance()); });
    return m_instance;
}

XPacketMgr::XPacketMgr(XPacketQueueMgr* queues) : m_queues(queues)
{
    m_parsers.reserve(10);
}

XPacketMgr::~XPacketMgr()
{
    close();
}

XPacketListener* XPacketMgr::createListener(int, unsigned long ip)
{
    XLockGuard guard(m_lock);
    for (XPacketListener* l : m_listeners)
        if (l->getIp() == ip)
            return l;
    try {
        std::unique_ptr<XPacketListener> listener(new XLocalListener(ip, m_queues));
        m_listeners.reserve(m_listeners.size() + 1);
        m_allListeners.push_back(std::move(listener));
        m_listeners.push_back(m_allListeners.back().get());
        return m_listeners.back();
    } catch (...) {
        return nullptr;
    }
}

int XPacketMgr::createListener(bool answersOnly)
{
    try {
        if (findListener(XLocalListener::kEveryAddress))
            return 0;
        XPacketListener* listener = createListener(1, XLocalListener::kEveryAddress);
        if (!listener)
            return 0;
        // The one kind createListener(int, ip) makes.
        static_cast<XLocalListener*>(listener)->seeAnswersOnly(answersOnly);
        listener->init();
        listener->listen();
        return 1;
    } catch (...) {
        return 0;
    }
}

XPacketListener* XPacketMgr::findListener(unsigned long ip)
{
    XLockGuard guard(m_lock);
    for (XPacketListener* l : m_listeners)
        if (l->getIp() == ip)
            return l;
    return nullptr;
}

int XPacketMgr::listenerCount()
{
    XLockGuard guard(m_lock);
    return int(m_listeners.size());
}

void XPacketMgr::addParser(XPacketParser* p)
{
    if (!p)
        return;
    XLockGuard guard(m_lock);
    m_parsers.push_back(p);
    ++m_parserCount;
}

XPacketParser* XPacketMgr::getParser(int i)
{
    XLockGuard guard(m_lock);
    return (i >= 0 && i < m_parserCount && i < int(m_parsers.size())) ? m_parsers[size_t(i)] : nullptr;
}

int XPacketMgr::getParserCounter()
{
    XLockGuard guard(m_lock);
    return m_parserCount;
}

void XPacketMgr::close()
{
    std::vector<XPacketListener*> listeners;
    std::vector<XPacketParser*> parsers;
    {
        XLockGuard guard(m_lock);
        listeners.swap(m_listeners);
        parsers.swap(m_parsers);
        m_parserCount = 0;
    }
    for (XPacketListener* l : listeners)
        l->close();
    for (XPacketListener* l : listeners)
        l->join();
    for (XPacketParser* p : parsers)
        delete p;
}

XListenerStats XPacketMgr::listenerStats()
{
    XLockGuard guard(m_lock);
    XListenerStats total;
    for (const auto& l : m_allListeners) {
        const XListenerStats s = l->stats();
        total.bindFailures += s.bindFailures;
        if (s.bindError)
            total.bindError = s.bindError;
        total.receiveErrors += s.receiveErrors;
        total.received += s.received;
        total.kept += s.kept;
        total.unqueued += s.unqueued;
        total.socketDrops += s.socketDrops;
    }
    return total;
}
