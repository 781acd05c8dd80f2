#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/XQuicPacketProtection.h"
#include "capture/XTlsClientHello.h"

// What one datagram fed to an XQuicInitialReassembly gave.
enum class XQuicFeedStatus : uint8_t {
    Accepted,         // at least one Initial packet of the connection was opened and its frames read
    NotInitial,       // no long-header Initial packet of version 1 or 2 where the datagram starts
    Malformed,        // a header whose lengths run past the datagram
    Unauthentic,      // an Initial that did not decrypt under the keys of its connection ID
    OtherConnection,  // an Initial of another connection ID or version than the first one taken
    Full,             // the reassembly has taken as many datagrams as it takes
};

// Short lower-case word for logs and counters ("accepted", "not initial", ...).
const char* quicFeedStatusText(XQuicFeedStatus status);

// Gathers the ClientHello a QUIC client sends in the CRYPTO frames of its first Initial
// packets, from the datagrams of one connection fed in the order they were seen: the first
// decrypted Initial fixes the connection (version and Destination Connection ID) and its keys.
// CRYPTO data may come in any order, split across frames, packets (coalesced in one datagram
// or not) and datagrams; at most kMaxDatagrams datagrams are taken and only the first
// kMaxCryptoBytes bytes of the stream are kept, so a peer cannot make it grow past that.
// Not thread-safe: one thread at a time per object.
class XQuicInitialReassembly {
public:
    static constexpr int kMaxDatagrams = 4;
    static constexpr size_t kMaxCryptoBytes = 8192;

    // A UDP payload sent by the client. Packets other than Initials (0-RTT, Handshake) are
    // stepped over; a short-header packet or trailing padding ends the datagram.
    XQuicFeedStatus feed(const uint8_t* datagram, size_t size);

    // The frames of one decrypted Initial packet: PADDING, PING, ACK and CRYPTO are read;
    // any other frame ends the walk, keeping what came before it. Called by feed; open for
    // tests and fuzzing, which cannot forge the authentication of a packet.
    void addInitialFrames(const uint8_t* payload, size_t size);

    // The server name of the ClientHello as gathered so far: Found once the bytes up to the
    // name are in, Truncated while the stream has a gap before it, NotClientHello before any
    // Initial was taken.
    XClientHelloName serverName() const;

    // Whether feeding the connection's next datagram may still help: an Initial was taken,
    // the ClientHello is not yet readable to its end or its name, and the datagram budget is
    // not spent.
    bool wantsMore() const;

    // Bytes of the CRYPTO stream in order from its start, without gap.
    size_t contiguousBytes() const { return m_contiguous; }
    int datagrams() const { return m_datagrams; }

private:
    XQuicFeedStatus feedPacket(const uint8_t* packet, size_t size, size_t pnOffset, uint32_t version,
                               const uint8_t* dcid, size_t dcidSize);
    void store(uint64_t offset, const uint8_t* data, size_t size);

    int m_datagrams = 0;
    bool m_connected = false;  // version, connection ID and keys are set
    uint32_t m_version = 0;
    uint8_t m_dcid[kQuicMaxConnectionId] = {};
    size_t m_dcidSize = 0;
    XQuicInitialKeys m_keys;

    std::vector<uint8_t> m_stream;  // the CRYPTO stream, up to the highest byte received
    std::vector<bool> m_have;       // which bytes of m_stream were received
    size_t m_contiguous = 0;

    std::vector<uint8_t> m_header;   // scratch space for opening packets
    std::vector<uint8_t> m_payload;
};
