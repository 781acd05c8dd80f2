#include "capture/XHandshakeNameLearner.h"

#include <algorithm>

#include "capture/XDNSRecord.h"
#include "capture/XQuicInitial.h"  // declarations only; defined where libcrypto is
#include "capture/XServerNameCheck.h"

namespace {

constexpr uint8_t kTlsHandshakeRecord = 22;
constexpr uint8_t kClientHelloType = 1;

// A TLS record header of a handshake record (versions 3.x) whose message is a ClientHello:
// the look every TCP payload gets before anything else is done with it.
bool startsClientHello(const uint8_t* data, size_t size)
{
    return size >= kTlsRecordHeader + 1 && data[0] == kTlsHandshakeRecord && data[1] == 3 &&
           data[kTlsRecordHeader] == kClientHelloType;
}

void bump(std::atomic<uint64_t>& counter)
{
    counter.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

XHandshakeNameLearner::XHandshakeNameLearner(XDNSRecord* names) : m_names(names) {}

XHandshakeNameLearner::~XHandshakeNameLearner() = default;

uint64_t XHandshakeNameLearner::keyOf(const XHandshakeFlow& flow)
{
    return uint64_t(flow.address) << 32 | uint64_t(flow.localPort) << 16 | flow.remotePort;
}

void XHandshakeNameLearner::learn(const XHandshakeFlow& flow, const std::string& name, XNameSource source)
{
    if (!isAcceptableServerName(name)) {
        bump(m_badNames);
        return;
    }
    if (!m_names || !m_names->addRecord(flow.address, name.data(), int(name.size()), source)) {
        bump(m_behindDns);
        return;
    }
    bump(source == XNameSource::Quic ? m_quicNames : m_tlsNames);
}

bool XHandshakeNameLearner::settle(const XHandshakeFlow& flow, const XClientHelloName& hello, XNameSource source)
{
    switch (hello.status) {
    case XServerNameStatus::Found: learn(flow, hello.serverName, source); return true;
    case XServerNameStatus::BadName: bump(m_badNames); return true;
    case XServerNameStatus::Malformed: bump(m_malformed); return true;
    case XServerNameStatus::Truncated: return false;
    case XServerNameStatus::NoServerName:
    case XServerNameStatus::NotClientHello: return true;
    }
    return true;
}

void XHandshakeNameLearner::onTcpPayload(const XHandshakeFlow& flow, uint32_t seq, const uint8_t* data,
                                         size_t size, uint64_t nowMs)
{
    if (!data || size == 0)
        return;
    sweep(nowMs);
    const uint64_t key = keyOf(flow);
    if (!m_tls.empty()) {
        const auto it = m_tls.find(key);
        if (it != m_tls.end()) {
            TlsWait& wait = it->second;
            // A copy of what was already taken (a retransmission) changes nothing.
            if (seq - (wait.nextSeq - uint32_t(wait.bytes.size())) < uint32_t(wait.bytes.size()))
                return;
            if (seq != wait.nextSeq) {
                bump(m_incomplete);  // a segment is missing: the stream has a gap here
                m_tls.erase(it);
                return;
            }
            const size_t take = std::min(size, kMaxTlsBytes - wait.bytes.size());
            wait.bytes.insert(wait.bytes.end(), data, data + take);
            wait.nextSeq += uint32_t(take);
            ++wait.segments;
            const XClientHelloName hello = parseTlsClientHello(wait.bytes.data(), wait.bytes.size());
            if (settle(flow, hello, XNameSource::Tls)) {
                m_tls.erase(it);
            } else if (wait.bytes.size() >= kMaxTlsBytes || wait.segments >= kMaxTlsSegments) {
                bump(m_incomplete);
                m_tls.erase(it);
            }
            return;
        }
    }
    if (!startsClientHello(data, size))
        return;
    bump(m_tlsHellos);
    const XClientHelloName hello = parseTlsClientHello(data, size);
    if (settle(flow, hello, XNameSource::Tls))
        return;
    if (size >= kMaxTlsBytes) {
        bump(m_incomplete);
        return;
    }
    if (inFlight() >= kMaxInFlight) {
        bump(m_inFlightFull);
        return;
    }
    TlsWait& wait = m_tls[key];
    wait.since = nowMs;
    wait.nextSeq = seq + uint32_t(size);
    wait.segments = 1;
    wait.bytes.assign(data, data + size);
}

bool XHandshakeNameLearner::finishedQuic(uint64_t key, uint64_t nowMs)
{
    const auto it = m_quicFinished.find(key);
    if (it == m_quicFinished.end())
        return false;
    if (nowMs - it->second <= kFinishedMs)
        return true;
    m_quicFinished.erase(it);  // its place in the order goes when its time comes
    return false;
}

void XHandshakeNameLearner::finishQuic(uint64_t key, uint64_t nowMs)
{
    // The order holds every entry of the map, oldest first (and expired ones until they are
    // dropped here): what is older than kFinishedMs goes, and the oldest make room.
    const auto forgetOldest = [&] {
        const auto [oldKey, when] = m_quicFinishedOrder.front();
        const auto it = m_quicFinished.find(oldKey);
        if (it != m_quicFinished.end() && it->second == when)
            m_quicFinished.erase(it);
        m_quicFinishedOrder.pop_front();
    };
    while (!m_quicFinishedOrder.empty() &&
           (nowMs - m_quicFinishedOrder.front().second > kFinishedMs || m_quicFinished.size() >= kFinishedKept))
        forgetOldest();
    m_quicFinished[key] = nowMs;
    m_quicFinishedOrder.emplace_back(key, nowMs);
}

void XHandshakeNameLearner::onUdpPayload(const XHandshakeFlow& flow, const uint8_t* data, size_t size, uint64_t nowMs)
{
#if CAPENGINE_QUIC
    // Only a long-header packet can be an Initial; anything else is passed over at once.
    if (flow.remotePort != kQuicPort || !data || size == 0 || !(data[0] & 0x80))
        return;
    sweep(nowMs);
    const uint64_t key = keyOf(flow);
    // A later Initial of a flow already read (an acknowledgement, a probe, a retransmission)
    // is not opened again.
    if (!m_quicFinished.empty() && finishedQuic(key, nowMs))
        return;
    const auto it = m_quic.find(key);
    if (it != m_quic.end()) {
        XQuicInitialReassembly& reassembly = *it->second.reassembly;
        if (reassembly.feed(data, size) != XQuicFeedStatus::Accepted)
            return;
        bump(m_quicInitials);
        const XClientHelloName hello = reassembly.serverName();
        if (settle(flow, hello, XNameSource::Quic)) {
            m_quic.erase(it);
            finishQuic(key, nowMs);
        } else if (!reassembly.wantsMore()) {
            bump(m_incomplete);
            m_quic.erase(it);
        }
        return;
    }
    auto reassembly = std::make_unique<XQuicInitialReassembly>();
    if (reassembly->feed(data, size) != XQuicFeedStatus::Accepted)
        return;
    bump(m_quicInitials);
    const XClientHelloName hello = reassembly->serverName();
    if (settle(flow, hello, XNameSource::Quic)) {
        finishQuic(key, nowMs);
        return;
    }
    if (!reassembly->wantsMore()) {
        bump(m_incomplete);
        return;
    }
    if (inFlight() >= kMaxInFlight) {
        bump(m_inFlightFull);
        return;
    }
    QuicWait& wait = m_quic[key];
    wait.since = nowMs;
    wait.reassembly = std::move(reassembly);
#else
    (void)flow, (void)data, (void)size, (void)nowMs;
#endif
}

void XHandshakeNameLearner::sweep(uint64_t nowMs)
{
    if (nowMs - m_lastSweep < 500 || (m_tls.empty() && m_quic.empty()))
        return;
    m_lastSweep = nowMs;
    const auto expire = [&](auto& waiting) {
        for (auto it = waiting.begin(); it != waiting.end();) {
            if (nowMs - it->second.since > kWaitMs) {
                bump(m_incomplete);
                it = waiting.erase(it);
            } else {
                ++it;
            }
        }
    };
    expire(m_tls);
    expire(m_quic);
}

XHandshakeStats XHandshakeNameLearner::stats() const
{
    XHandshakeStats s;
    s.tlsHellos = m_tlsHellos.load(std::memory_order_relaxed);
    s.quicInitials = m_quicInitials.load(std::memory_order_relaxed);
    s.tlsNames = m_tlsNames.load(std::memory_order_relaxed);
    s.quicNames = m_quicNames.load(std::memory_order_relaxed);
    s.behindDns = m_behindDns.load(std::memory_order_relaxed);
    s.badNames = m_badNames.load(std::memory_order_relaxed);
    s.malformed = m_malformed.load(std::memory_order_relaxed);
    s.inFlightFull = m_inFlightFull.load(std::memory_order_relaxed);
    s.incomplete = m_incomplete.load(std::memory_order_relaxed);
    return s;
}
