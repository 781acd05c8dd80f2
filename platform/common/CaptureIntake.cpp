#include "platform/CaptureIntake.h"

namespace platform {

namespace {
constexpr uint64_t kExpiryIntervalMs = 1000;
}

CaptureIntake::CaptureIntake(int linkType, FlowAttributor& attributor)
    : m_linkType(linkType), m_attributor(attributor)
{
}

void CaptureIntake::onFrame(const uint8_t* data, size_t caplen, size_t wireLength, uint64_t timestamp,
                            uint64_t nowMs)
{
    DecodedPacket packet;
    switch (decodeCapturedPacket(m_linkType, data, caplen, wireLength, packet)) {
    case DecodeResult::Ok:
        if (packet.fragment == FragmentPart::Whole) {
            hand(packet, timestamp, nowMs);
            break;
        }
        [[fallthrough]];
    case DecodeResult::Fragment:
        if (m_fragments.add(packet, timestamp, nowMs, m_complete))
            handDatagram(nowMs);
        break;
    case DecodeResult::Malformed:
        ++m_stats.malformed;
        break;
    case DecodeResult::Ignored:
        break;
    }
    m_stats.fragmentsIncomplete = m_fragments.dropped();
}

void CaptureIntake::handDatagram(uint64_t nowMs)
{
    // The stack checks a reassembled UDP datagram's length as it checks a whole one's.
    const DecodedPacket& first = m_complete.front().packet;
    const IpFragments::Held& last = m_complete.back();
    const uint32_t length = last.packet.fragmentOffset + last.packet.payloadLength;
    const bool udpLengthBad = first.protocol == kProtoUdp && first.direction == kDirReceive &&
                              (first.udpLength < 8 || first.udpLength > length);
    for (const IpFragments::Held& h : m_complete) {
        if (udpLengthBad) {
            ++m_stats.malformed;
            continue;
        }
        if (h.packet.fragment == FragmentPart::Later)
            ++m_stats.fragments;
        hand(h.packet, h.timestamp, nowMs);
    }
    m_complete.clear();
}

void CaptureIntake::hand(const DecodedPacket& packet, uint64_t timestamp, uint64_t nowMs)
{
    ++m_stats.packets;
    NetEvent event;
    event.timestamp = timestamp;
    event.size = packet.size;
    event.remoteAddr = packet.remoteAddr;
    event.remotePort = packet.remotePort;
    event.localPort = packet.localPort;
    event.protocol = packet.protocol;
    event.direction = packet.direction;
    const FlowKey key{packet.protocol, packet.localAddr, packet.localPort, packet.remoteAddr, packet.remotePort};
    m_attributor.onPacket(key, event, packet.tcpSyn, nowMs);
}

void CaptureIntake::poll(uint64_t nowMs)
{
    if (nowMs < m_nextExpiry)
        return;
    m_nextExpiry = nowMs + kExpiryIntervalMs;
    m_fragments.expire(nowMs);
    m_stats.fragmentsIncomplete = m_fragments.dropped();
}

void CaptureIntake::finish()
{
    m_fragments.clear();
    m_stats.fragmentsIncomplete = m_fragments.dropped();
}

} // namespace platform
