#pragma once

#include <pcap/pcap.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/IoEvents.h"

namespace platform {

// A second packet capture beside the counting one, on the "any" device, that admits only
// what local programs send to name a server: TCP segments whose payload starts a TLS
// handshake record carrying a ClientHello, and UDP datagrams to port 443 that start with a
// long QUIC header. Its snap length holds a ClientHello of about 2 KB (a browser's, with its
// name past the first 1 448 bytes, taken whole where the stack hands the capture the
// unsegmented send); each admitted payload goes to IoEventSink::onHandshakePayload.
// The handle is non-blocking. One thread uses it (open, fd, dispatch, close); counters may be
// read from any thread.
class HandshakeCapture {
public:
    static constexpr int kSnapLength = 2560;
    static constexpr int kBufferBytes = 4 * 1024 * 1024;

    HandshakeCapture() = default;
    ~HandshakeCapture();
    HandshakeCapture(const HandshakeCapture&) = delete;
    HandshakeCapture& operator=(const HandshakeCapture&) = delete;

    // Opens the capture; false (with the reason) when it cannot be had: the counting capture
    // goes on without names from handshakes.
    bool open(std::string* error);
    bool isOpen() const { return m_pcap != nullptr; }
    void close();
    // The descriptor to wait on; -1 when not open.
    int fd() const;
    // Hands every packet waiting to sink; returns how many were read, or -1 when the capture
    // ended.
    int dispatch(IoEventSink& sink);

    uint64_t payloads() const { return m_payloads.load(std::memory_order_relaxed); }
    // Packets the kernel had no room for (read every few dispatches and at close).
    uint64_t kernelDrops() const { return m_drops.load(std::memory_order_relaxed); }

    // The filter, for tests and the log.
    static const char* filter();

private:
    static void onPacket(u_char* user, const pcap_pkthdr* header, const u_char* bytes);
    void readKernelDrops();

    pcap_t* m_pcap = nullptr;
    int m_linkType = 0;
    IoEventSink* m_sink = nullptr;  // set during dispatch
    int m_dispatches = 0;
    std::atomic<uint64_t> m_payloads{0}, m_drops{0};
};

} // namespace platform
