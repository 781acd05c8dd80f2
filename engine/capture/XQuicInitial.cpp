#include "capture/XQuicInitial.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kLongHeader = 0x80;
constexpr size_t kMinLongHeader = 7;  // first byte, version, both connection ID lengths

enum : uint64_t {
    kFramePadding = 0x00,
    kFramePing = 0x01,
    kFrameAck = 0x02,
    kFrameAckEcn = 0x03,
    kFrameCrypto = 0x06,
};

// A variable-length integer (RFC 9000, 16) at data[pos]; false when it runs past size.
bool readVarint(const uint8_t* data, size_t size, size_t& pos, uint64_t& value)
{
    if (pos >= size)
        return false;
    const size_t length = size_t(1) << (data[pos] >> 6);
    if (length > size - pos)
        return false;
    value = data[pos] & 0x3f;
    for (size_t i = 1; i < length; ++i)
        value = (value << 8) | data[pos + i];
    pos += length;
    return true;
}

bool skipVarints(const uint8_t* data, size_t size, size_t& pos, int count)
{
    uint64_t ignored = 0;
    for (int i = 0; i < count; ++i)
        if (!readVarint(data, size, pos, ignored))
            return false;
    return true;
}

// ACK and ACK_ECN: largest acknowledged, delay, range count, first range, the ranges (two
// numbers each), and for ACK_ECN three counts.
bool skipAck(const uint8_t* data, size_t size, size_t& pos, bool ecn)
{
    uint64_t ranges = 0;
    if (!skipVarints(data, size, pos, 2) || !readVarint(data, size, pos, ranges) ||
        !skipVarints(data, size, pos, 1))
        return false;
    // Every number takes at least one byte, so a huge count ends at the payload's end.
    for (uint64_t i = 0; i < ranges; ++i)
        if (!skipVarints(data, size, pos, 2))
            return false;
    return !ecn || skipVarints(data, size, pos, 3);
}

uint32_t readU32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

const char* quicFeedStatusText(XQuicFeedStatus status)
{
    switch (status) {
    case XQuicFeedStatus::Accepted: return "accepted";
    case XQuicFeedStatus::NotInitial: return "not initial";
    case XQuicFeedStatus::Malformed: return "malformed";
    case XQuicFeedStatus::Unauthentic: return "unauthentic";
    case XQuicFeedStatus::OtherConnection: return "other connection";
    case XQuicFeedStatus::Full: return "full";
    }
    return "unknown";
}

XQuicFeedStatus XQuicInitialReassembly::feed(const uint8_t* datagram, size_t size)
{
    if (m_datagrams >= kMaxDatagrams)
        return XQuicFeedStatus::Full;
    ++m_datagrams;
    bool accepted = false;
    XQuicFeedStatus failure = XQuicFeedStatus::NotInitial;
    const auto fail = [&](XQuicFeedStatus status) {
        if (failure == XQuicFeedStatus::NotInitial)
            failure = status;
    };
    size_t pos = 0;
    while (datagram && pos < size) {
        const uint8_t* p = datagram + pos;
        const size_t left = size - pos;
        if ((p[0] & kLongHeader) == 0)
            break;  // a short-header packet, or zeros padding the datagram
        if (left < kMinLongHeader) {
            fail(XQuicFeedStatus::Malformed);
            break;
        }
        const uint32_t version = readU32(p + 1);
        if (!isKnownQuicVersion(version))
            break;
        size_t off = 5;
        const size_t dcidSize = p[off++];
        if (dcidSize > kQuicMaxConnectionId || dcidSize + 1 > left - off) {
            fail(XQuicFeedStatus::Malformed);
            break;
        }
        const uint8_t* dcid = p + off;
        off += dcidSize;
        const size_t scidSize = p[off++];
        if (scidSize > kQuicMaxConnectionId || scidSize > left - off) {
            fail(XQuicFeedStatus::Malformed);
            break;
        }
        off += scidSize;
        // Version 2 numbers the long-header types one above version 1, Retry wrapping to 0.
        const uint8_t initialType = quicInitialPacketType(version);
        const uint8_t type = (p[0] >> 4) & 0x03;
        if (type == ((initialType + 3) & 0x03))
            break;  // Retry has no Length field; a client never sends one
        if (type == initialType) {
            uint64_t token = 0;
            if (!readVarint(p, left, off, token) || token > left - off) {
                fail(XQuicFeedStatus::Malformed);
                break;
            }
            off += size_t(token);
        }
        uint64_t length = 0;
        if (!readVarint(p, left, off, length) || length > left - off) {
            fail(XQuicFeedStatus::Malformed);
            break;
        }
        if (type == initialType) {
            const XQuicFeedStatus s = feedPacket(p, off + size_t(length), off, version, dcid, dcidSize);
            if (s == XQuicFeedStatus::Accepted)
                accepted = true;
            else
                fail(s);
        }
        pos += off + size_t(length);
    }
    return accepted ? XQuicFeedStatus::Accepted : failure;
}

XQuicFeedStatus XQuicInitialReassembly::feedPacket(const uint8_t* packet, size_t size, size_t pnOffset,
                                                   uint32_t version, const uint8_t* dcid, size_t dcidSize)
{
    if (m_connected &&
        (version != m_version || dcidSize != m_dcidSize || std::memcmp(dcid, m_dcid, dcidSize) != 0))
        return XQuicFeedStatus::OtherConnection;
    XQuicInitialKeys keys = m_keys;
    if (!m_connected && !deriveClientInitialKeys(version, dcid, dcidSize, keys))
        return XQuicFeedStatus::Unauthentic;
    if (!openLongHeaderPacket(keys, packet, size, pnOffset, m_header, m_payload))
        return XQuicFeedStatus::Unauthentic;
    if (!m_connected) {
        // Only an Initial that authenticates fixes the connection: a stray datagram cannot.
        m_connected = true;
        m_version = version;
        m_dcidSize = dcidSize;
        std::copy_n(dcid, dcidSize, m_dcid);
        m_keys = keys;
    }
    addInitialFrames(m_payload.data(), m_payload.size());
    return XQuicFeedStatus::Accepted;
}

void XQuicInitialReassembly::addInitialFrames(const uint8_t* payload, size_t size)
{
    size_t pos = 0;
    while (payload && pos < size) {
        uint64_t type = 0;
        if (!readVarint(payload, size, pos, type))
            return;
        switch (type) {
        case kFramePadding:
        case kFramePing:
            break;
        case kFrameAck:
        case kFrameAckEcn:
            if (!skipAck(payload, size, pos, type == kFrameAckEcn))
                return;
            break;
        case kFrameCrypto: {
            uint64_t offset = 0;
            uint64_t length = 0;
            if (!readVarint(payload, size, pos, offset) || !readVarint(payload, size, pos, length) ||
                length > size - pos)
                return;
            store(offset, payload + pos, size_t(length));
            pos += size_t(length);
            break;
        }
        default:
            return;  // CONNECTION_CLOSE, or a frame an Initial may not carry
        }
    }
}

void XQuicInitialReassembly::store(uint64_t offset, const uint8_t* data, size_t size)
{
    if (offset >= kMaxCryptoBytes || size == 0)
        return;
    const size_t start = size_t(offset);
    const size_t n = std::min(size, kMaxCryptoBytes - start);
    if (m_stream.size() < start + n) {
        m_stream.resize(start + n);
        m_have.resize(start + n, false);
    }
    // Bytes already received stay as they came first.
    for (size_t i = 0; i < n; ++i) {
        if (!m_have[start + i]) {
            m_stream[start + i] = data[i];
            m_have[start + i] = true;
        }
    }
    while (m_contiguous < m_have.size() && m_have[m_contiguous])
        ++m_contiguous;
}

XClientHelloName XQuicInitialReassembly::serverName() const
{
    if (!m_connected && m_stream.empty())
        return XClientHelloName{};  // no Initial yet
    return parseClientHelloMessage(m_stream.data(), m_contiguous);
}

bool XQuicInitialReassembly::wantsMore() const
{
    return m_connected && m_datagrams < kMaxDatagrams && m_contiguous < kMaxCryptoBytes &&
           serverName().status == XServerNameStatus::Truncated;
}
