#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "capengine/XEngineRows.h"
#include "capture/XTlsClientHello.h"

class XDNSRecord;
class XQuicInitialReassembly;

// One outgoing flow as the learner keys it: the remote address and both ports, host order.
struct XHandshakeFlow {
    uint32_t address = 0;
    uint16_t localPort = 0;
    uint16_t remotePort = 0;
};

// What the learner did, each counter only growing; readable from any thread.
struct XHandshakeStats {
    uint64_t tlsHellos = 0;       // TLS ClientHellos read (whole, or their start)
    uint64_t quicInitials = 0;    // QUIC Initial packets opened on flows not yet named
    uint64_t tlsNames = 0;        // names from ClientHellos stored in the name cache
    uint64_t quicNames = 0;       // names from QUIC Initials stored in the name cache
    uint64_t behindDns = 0;       // handshake names not stored: a DNS name stands for the address
    uint64_t badNames = 0;        // server_name values that are no host name
    uint64_t malformed = 0;       // ClientHellos whose lengths do not agree
    uint64_t inFlightFull = 0;    // handshakes split over packets refused: kMaxInFlight waiting
    uint64_t incomplete = 0;      // handshakes given up before their name: a gap, out of order,
                                  // past the byte or packet budget, or too slow
};

// Learns the host name a local program asked for from the first bytes it sent on a new
// outgoing flow: the server_name of a TLS ClientHello (TCP) or of the ClientHello inside a QUIC
// Initial (UDP to port 443). A name is checked like every name (isAcceptableServerName) and
// stored in the name cache with its source; a DNS name already there stays.
//
// A ClientHello may span packets (a large one is cut into two TCP segments; a QUIC client may
// spread its CRYPTO frames over datagrams): such a flow waits for its next packet, at most
// kMaxInFlight flows at once (a further one is refused and counted), each for at most
// kWaitMs, kMaxTlsBytes and the QUIC reassembly's own bounds. Nothing a peer sends can make
// it hold more.
//
// The capture thread calls the on* functions and sweep (one thread at a time); stats() may be
// called from any thread. names must outlive the learner.
class XHandshakeNameLearner {
public:
    static constexpr int kMaxInFlight = 64;
    static constexpr size_t kMaxTlsBytes = 4096;
    static constexpr int kMaxTlsSegments = 4;
    static constexpr uint64_t kWaitMs = 3000;
    static constexpr uint16_t kQuicPort = 443;
    // A QUIC flow whose hello was read (named or not) is passed over for kFinishedMs: its later
    // Initials (acknowledgements, probes) carry no hello. The kFinishedKept newest are kept.
    static constexpr uint64_t kFinishedMs = 30000;
    static constexpr size_t kFinishedKept = 256;

    explicit XHandshakeNameLearner(XDNSRecord* names);
    ~XHandshakeNameLearner();
    XHandshakeNameLearner(const XHandshakeNameLearner&) = delete;
    XHandshakeNameLearner& operator=(const XHandshakeNameLearner&) = delete;

    // A TCP segment's payload a local program sent on flow; seq is the TCP sequence number of
    // its first byte. Payloads that do not start a ClientHello (and do not continue one
    // waiting) are ignored without cost beyond a look at their first bytes.
    void onTcpPayload(const XHandshakeFlow& flow, uint32_t seq, const uint8_t* data, size_t size, uint64_t nowMs);
    // A UDP payload a local program sent on flow; only flows to port 443 are read.
    void onUdpPayload(const XHandshakeFlow& flow, const uint8_t* data, size_t size, uint64_t nowMs);
    // Gives up flows that waited longer than kWaitMs (called by the on* functions as well).
    void sweep(uint64_t nowMs);

    XHandshakeStats stats() const;
    // Flows waiting for their next packet now (capture thread).
    int inFlight() const { return int(m_tls.size() + m_quic.size()); }

private:
    struct TlsWait {
        uint64_t since = 0;
        uint32_t nextSeq = 0;
        int segments = 0;
        std::vector<uint8_t> bytes;
    };
    struct QuicWait {
        uint64_t since = 0;
        std::unique_ptr<XQuicInitialReassembly> reassembly;
    };
    static uint64_t keyOf(const XHandshakeFlow& flow);
    // Handles what a parse of a ClientHello gave; true when the flow is done with.
    bool settle(const XHandshakeFlow& flow, const XClientHelloName& hello, XNameSource source);
    // The QUIC flows whose hello was read, for kFinishedMs, at most kFinishedKept of them.
    bool finishedQuic(uint64_t key, uint64_t nowMs);
    void finishQuic(uint64_t key, uint64_t nowMs);
    void learn(const XHandshakeFlow& flow, const std::string& name, XNameSource source);

    XDNSRecord* const m_names;
    std::unordered_map<uint64_t, TlsWait> m_tls;
    std::unordered_map<uint64_t, QuicWait> m_quic;
    std::unordered_map<uint64_t, uint64_t> m_quicFinished;       // key -> when
    std::deque<std::pair<uint64_t, uint64_t>> m_quicFinishedOrder;  // (key, when), oldest first
    uint64_t m_lastSweep = 0;

    std::atomic<uint64_t> m_tlsHellos{0}, m_quicInitials{0}, m_tlsNames{0}, m_quicNames{0};
    std::atomic<uint64_t> m_behindDns{0}, m_badNames{0}, m_malformed{0}, m_inFlightFull{0};
    std::atomic<uint64_t> m_incomplete{0};
};
