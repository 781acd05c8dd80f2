// XEngine::stats(): every stage's counters, read together.
#include "capengine/XEngine.h"
#include "capture/XDNSRecord.h"
#include "capture/XEngineImpl.h"
#include "capture/XHandshakeNameLearner.h"
#include "capture/XIPCounter.h"
#include "capture/XPacketCounter.h"
#include "capture/XPacketMgr.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XParserResultMgr.h"
#include "capture/XParserWorker.h"
#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XPCProcessInfo.h"

namespace {

void readCapture(XKernelIoTrace* trace, XEngineStats& s)
{
    if (!trace)
        return;
    const KernelIoStats k = trace->stats();
    s.capturing = k.running;
    s.packetsSeen = k.source.packetsSeen;
    s.packetsMalformed = k.source.packetsMalformed;
    s.fragments = k.source.fragments;
    s.fragmentsIncomplete = k.source.fragmentsIncomplete;
    s.kernelDrops = k.source.kernelDrops;
    s.interfaceDrops = k.source.interfaceDrops;
    s.flowMapFull = k.source.flowMapFullPackets;
    s.flowsResolved = k.source.flowsResolved;
    s.flowsUnowned = k.source.flowsUnowned;
    s.heldTimeouts = k.source.heldTimeouts;
    s.holdOverflows = k.source.holdOverflows;
    s.lookupQueueFull = k.source.lookupQueueFull;
    s.eventsQueued = k.eventsQueued;
    s.ringDropped = k.eventsDropped;
    s.ringFullWaits = k.ringFullWaits;
    s.ringPending = k.ringPending;
    s.gatedEvents = k.gatedEvents;
    s.diskFolded = k.diskFolded;
    s.diskExitsDropped = k.source.diskExitsDropped;
    s.handshakePayloads = k.source.handshakePayloads;
    s.handshakePayloadsDropped = k.source.handshakePayloadsDropped;
    s.dnsQueriesRingFull = k.source.dnsQueriesDropped;
    const XHandshakeStats h = trace->handshakeStats();
    s.tlsHellos = h.tlsHellos;
    s.quicInitials = h.quicInitials;
    s.tlsNames = h.tlsNames;
    s.quicNames = h.quicNames;
    s.handshakeBehindDns = h.behindDns;
    s.handshakeBadNames = h.badNames;
    s.handshakeMalformed = h.malformed;
    s.handshakeInFlightFull = h.inFlightFull;
    s.handshakeIncomplete = h.incomplete;
}

void readDatagramPath(XPacketMgr* packets, XPacketQueueMgr* queues, XEngineStats& s)
{
    if (queues) {
        s.queueDrops = queues->dropped();
        s.queueTruncated = queues->truncated();
    }
    if (packets) {
        const XListenerStats l = packets->listenerStats();
        s.listenerBindFailures = l.bindFailures;
        s.listenerBindError = l.bindError;
        s.listenerReceiveErrors = l.receiveErrors;
        s.listenerUnqueued = l.unqueued;
        s.listenerSocketDrops = l.socketDrops;
        s.datagramsReceived = l.received;
        s.datagramsKept = l.kept;
        s.listeners = uint64_t(packets->listenerCount());
    }
}

void readCounters(XParserResultMgr* registry, XEngineStats& s)
{
    if (!registry)
        return;
    if (auto* tcp = static_cast<XPacketCounter*>(registry->getResult("tcp", XParserResult::kPacketCounter))) {
        s.tcpPoolFailures = tcp->poolFailures();
        s.netHostsFolded += tcp->hostsFolded();
    }
    if (auto* udp = static_cast<XPacketCounter*>(registry->getResult("udp", XParserResult::kPacketCounter))) {
        s.udpPoolFailures = udp->poolFailures();
        s.netHostsFolded += udp->hostsFolded();
    }
    if (auto* chat = static_cast<XIPCounter*>(registry->getResult("other", XParserResult::kIPCounter)))
        s.chatPoolFailures = chat->poolFailures();
}

} // namespace

XEngineStats XEngine::stats()
{
    XEngineStats s;
    Impl& e = *m_impl;
    if (!e.wired())
        return s;
    readCapture(e.trace, s);
    readDatagramPath(e.packets, e.queues, s);
    readCounters(e.results, s);
    {
        std::lock_guard<std::mutex> guard(e.parserMutex);
        const XParserStats p = e.parser ? e.parser->stats() : e.parserStats;
        s.datagramsIgnored = p.datagramsIgnored;
        s.datagramsParsed = p.datagrams;
        s.namesLearnt = p.namesLearnt;
        s.dnsQueries = p.queriesSeen;
        s.dnsQueriesDropped = p.queriesDropped;
        s.dnsUnasked = p.answersUnasked;
        s.dnsAnswersEarly = p.answersEarly;
        s.dnsAnswersGaveUp = p.answersGaveUp;
        s.dnsOffQuestion = p.recordsOffQuestion;
        s.dnsMalformed = p.namesMalformed;
        s.eventsUncounted = p.eventsUncounted;
    }
    if (e.worker) {
        s.workerExceptions = e.worker->exceptions();
        s.eventsParsed = e.worker->events();
    }
    if (e.processInfo)
        s.netProcessesFolded = e.processInfo->netFolded();
    s.ledgerHostsFolded = e.ledgerFolded.load(std::memory_order_relaxed);
    if (e.dns) {
        s.dnsDropped = e.dns->dropped();
        s.dnsNames = uint64_t(e.dns->size());
    }
    return s;
}
