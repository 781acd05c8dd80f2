#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "corekit/XLock.h"
#include "hostinfo/NetIoRecord.h"
#include "hostinfo/ProcessIoTable.h"
#include "hostinfo/XNetIoRing.h"
#include "platform/IoEventSource.h"

class XDNSRecord;
class XHandshakeNameLearner;
class XPacketQueue;
struct XHandshakeStats;

// Counters of the kernel I/O event intake; readable from any thread.
struct KernelIoStats {
    platform::IoSourceStats source;  // the capture and disk sampler below us
    uint64_t eventsQueued = 0;       // network events written into the ring
    uint64_t eventsDropped = 0;      // network events dropped because the ring was full
    uint64_t ringFullWaits = 0;      // times the capture waited for room in the ring
    uint64_t gatedEvents = 0;        // events dropped by the start gate
    uint64_t diskFolded = 0;         // disk events of processes beyond the bound, counted for pid 0
    long ringPending = 0;
    bool running = false;            // the consumer thread is inside the event source
};

// The kernel I/O trace: runs the system's event source on a thread of its own, sums disk
// bytes per process and queues network events in the ring for the parser thread.
class XKernelIoTrace : public platform::IoEventSink {
public:
    enum GateClass { kGateDisk = 0, kGateTcp = 1, kGateUdp = 2 };

    // Creates the singleton on first use with the system's event source. Call it first from
    // one thread (start-up); afterwards any thread may. Null when it could not be created.
    static XKernelIoTrace* Instance();

    // An independent instance over the given source (tests, benchmarks). The start time is
    // taken now.
    explicit XKernelIoTrace(std::unique_ptr<platform::IoEventSource> source);
    ~XKernelIoTrace() override;

    void enableNetEvents() { m_netEnabled.store(1, std::memory_order_release); }
    // Starts the consumer thread once; later calls do nothing.
    void startTraceThread();
    // Stops the event source and joins the consumer thread. Any thread but the consumer.
    void stopTrace();

    // Any thread: replaces out with the disk totals of this interval as {pid, read, written},
    // then starts a new interval.
    void getDiskIO(std::vector<IoTriple>& out);
    // Any thread: whether per-second disk figures are needed (see IoEventSource).
    void setDiskRatesNeeded(bool perSecond);

    XNetIoRing* ring() { return m_ring.get(); }
    KernelIoStats stats() const;
    uint64_t startTime() const { return m_startTime; }
    // Any thread: the source's name, and why it does not deliver when it could not be
    // opened ("pcap", "pcap: no capture privileges ...").
    std::string sourceStatus() const;
    // Whether the source names the process of each socket itself (per-flow counts from the
    // kernel): the pids it gives need no second opinion from the owner tables.
    bool ownersExact() const { return m_ownersExact; }

    // Event-source callbacks (the source's threads).
    void onNetEvent(const platform::NetEvent& event) override;
    void onDiskEvent(const platform::DiskEvent& event) override;
    void onHandshakePayload(const platform::HandshakePayload& payload) override;
    void onDnsQuery(const uint8_t* data, uint32_t size) override;

    // Names flows from the handshakes the source hands over, into names (which must outlive
    // the trace). Call once (start-up thread); later calls do nothing.
    void learnHandshakeNames(XDNSRecord* names);
    // Any thread: the handshake learner's counters (zero before learnHandshakeNames).
    XHandshakeStats handshakeStats() const;

    // Whether the source supplies the DNS queries local programs send (see IoEventSource).
    bool suppliesDnsQueries() const { return m_source && m_source->suppliesDnsQueries(); }
    // Start-up thread, once: the queries the source supplies go into queue from now on, as
    // datagrams this host sent (the source's thread is the queue's one producer), and each
    // wakes the ring's reader, the parser thread that reads the queue too, so that the query
    // is known by the time its answer is read. The queue must outlive the trace.
    void deliverDnsQueries(XPacketQueue* queue);

    // Start gate: false for events at or before the start time; true for the first event
    // after it and every event from then on, per class. Each class is only ever passed by one
    // thread.
    bool passGate(GateClass cls, uint64_t timestamp);
    bool gateOpen(GateClass cls) const { return m_gate[cls].load(std::memory_order_acquire) != 0; }

private:
    void consume();
    void addDisk(uint32_t pid, uint64_t readBytes, uint64_t writeBytes);

    static XKernelIoTrace* m_instance;

    std::unique_ptr<XNetIoRing> m_ring;
    std::atomic<int> m_netEnabled{0};
    std::atomic<bool> m_threadStarted{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopping{false};  // the ring's writer gives up waiting for room
    std::unique_ptr<platform::IoEventSource> m_source;
    std::unique_ptr<XHandshakeNameLearner> m_handshakeOwner;  // set once, freed last
    std::atomic<XHandshakeNameLearner*> m_handshakes{nullptr};
    std::atomic<XPacketQueue*> m_dnsQueries{nullptr};
    bool m_ownersExact = false;
    mutable std::mutex m_statusMutex;
    std::string m_openError;              // guarded by m_statusMutex
    std::thread m_thread;

    XLock m_lock;  // guards the disk totals
    ProcessIoTable m_disk;

    uint64_t m_startTime = 0;
    std::atomic<uint8_t> m_gate[3] = {0, 0, 0};
    std::atomic<uint64_t> m_gated{0};
    std::atomic<uint64_t> m_diskFolded{0};
};
