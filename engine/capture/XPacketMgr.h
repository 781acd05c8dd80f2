#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "capture/XPacketListener.h"
#include "capture/XPacketParser.h"
#include "corekit/XLock.h"

class XPacketQueueMgr;

// Registers the listener (one, for every local IPv4 address) and the packet parsers. Any
// thread may call it. Parsers handed to addParser belong to the manager until close(); a listener pointer
// stays valid as long as the manager.
class XPacketMgr {
public:
    // The process-wide manager (listeners take their queues from XPacketQueueMgr::Instance()),
    // created on the first call and never destroyed; null when it cannot be allocated.
    static XPacketMgr* Instance();

    // An independent manager whose listeners take their queues from queues (tests).
    explicit XPacketMgr(XPacketQueueMgr* queues);
    ~XPacketMgr();
    XPacketMgr(const XPacketMgr&) = delete;
    XPacketMgr& operator=(const XPacketMgr&) = delete;

    // The listener known by ip, created when absent (of whatever type; there is one kind).
    // Does not initialise or start it. Null only when allocation fails.
    XPacketListener* createListener(int type, unsigned long ip);
    // Creates, initialises and starts the listener of every local address, those added later
    // included, unless it exists: one that sees only the answers when answersOnly (the
    // queries come another way), else the queries too. Returns the number started (1 or 0).
    int createListener(bool answersOnly = false);
    XPacketListener* findListener(unsigned long ip);
    int listenerCount();

    // Takes ownership of p; null is ignored.
    void addParser(XPacketParser* p);
    XPacketParser* getParser(int i);
    int getParserCounter();

    // Ends every listener thread and waits for them, forgets the listeners (the objects live
    // on until the manager goes), and deletes the parsers. The parser thread must have been
    // joined first.
    void close();

    // Sum of every listener's counters, including the closed ones.
    XListenerStats listenerStats();

private:
    static XPacketMgr* m_instance;

    XLock m_lock;
    XPacketQueueMgr* m_queues;
    std::vector<XPacketParser*> m_parsers;
    std::vector<XPacketListener*> m_listeners;
    std::vector<std::unique_ptr<XPacketListener>> m_allListeners;  // ownership, never shrinks
    int m_parserCount = 0;
};
