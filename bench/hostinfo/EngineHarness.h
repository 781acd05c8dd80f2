#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XPCProcessInfo.h"

// The engine as the program runs it: the kernel I/O trace over the system's event source, and
// a parser thread that pops the ring and attributes every event with addNetData. Optionally
// the owner tables are refreshed on a timer, as the GUI does every two seconds.
class EngineHarness {
public:
    // Called on the parser thread for every event, with the pid addNetData returned.
    using Observer = std::function<void(const ORVANEPRO_NetIo& io, uint32_t attributedPid)>;

    // pcap: the libpcap source even where the eBPF one would load (its figures on their own).
    explicit EngineHarness(Observer observer, bool pcap = false);
    ~EngineHarness();
    EngineHarness(const EngineHarness&) = delete;
    EngineHarness& operator=(const EngineHarness&) = delete;

    // Starts the capture and the parser thread; false (with the reason) when the capture did
    // not come up within timeoutMs.
    bool start(std::string& why, int timeoutMs = 5000);
    // Refreshes the owner tables every periodMs until stop(); 0 turns it off.
    void startReloadTimer(int periodMs);
    // Stops the capture, then the parser (after it emptied the ring) and the timer.
    void stop();

    // The first event of each protocol after the start is held back. Our own traffic to a port
    // nobody serves on the peer opens both gates; true once the events behind them arrived.
    bool openGates(uint32_t peerNetOrder, uint16_t closedPort, int timeoutMs = 5000);

    XKernelIoTrace& trace() { return *m_trace; }
    XPCProcessInfo& info() { return *m_info; }
    pid_t parserThreadId() const { return m_parserTid.load(); }
    pid_t reloadThreadId() const { return m_reloadTid.load(); }
    uint64_t parsed() const { return m_parsed.load(std::memory_order_relaxed); }
    uint64_t reloads() const { return m_reloads.load(std::memory_order_relaxed); }

private:
    void parse();
    void reloadLoop(int periodMs);

    Observer m_observer;
    bool m_pcap = false;
    std::unique_ptr<XKernelIoTrace> m_trace;
    std::unique_ptr<XPCProcessInfo> m_info;
    std::thread m_parser;
    std::thread m_reloader;
    std::atomic<bool> m_stopParser{false};
    std::mutex m_reloadMutex;
    std::condition_variable m_reloadCond;
    bool m_stopReload = false;
    std::atomic<pid_t> m_parserTid{0};
    std::atomic<pid_t> m_reloadTid{0};
    std::atomic<uint64_t> m_parsed{0};
    std::atomic<uint64_t> m_reloads{0};
    std::atomic<uint16_t> m_gatePort{0};
    std::atomic<uint64_t> m_gateEvents[3] = {0, 0, 0};  // by protocol (1 TCP, 2 UDP)
};
