#include "platform/CaptureIntake.h"

namespace platform {

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
        if (packet.fragment == FragmentPart::First)
            m_fragments.onFirst(packet, nowMs);
        break;
    case DecodeResult::Fragment:
        ++m_stats.fragments;
        if (!m_fragments.onLater(packet, nowMs))
            ++m_stats.fragmentsUnmatched;
        break;
    case DecodeResult::Malformed:
        ++m_stats.malformed;
        return;
    case DecodeResult::Ignored:
        return;
    }
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

} // namespace platform
