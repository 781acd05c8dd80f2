#include "platform/linux/HandshakeCapture.h"

#include <algorithm>

#include "platform/PacketDecode.h"

namespace platform {

namespace {

// Sent (outbound) IPv4 packets only. TCP: the first payload byte is 22 (handshake record),
// the sixth 1 (ClientHello). UDP: to port 443 with the long-header bit set (QUIC Initial,
// 0-RTT and Handshake packets; the engine opens only Initials).
constexpr char kFilter[] =
    "outbound and ip and not net 127.0.0.0/8 and ("
    "(tcp and tcp[((tcp[12] & 0xf0) >> 2)] = 22 and tcp[((tcp[12] & 0xf0) >> 2) + 5] = 1) or "
    "(udp dst port 443 and udp[8] & 0x80 != 0))";

} // namespace

const char* HandshakeCapture::filter()
{
    return kFilter;
}

HandshakeCapture::~HandshakeCapture()
{
    close();
}

void HandshakeCapture::close()
{
    if (m_pcap) {
        readKernelDrops();
        pcap_close(m_pcap);
    }
    m_pcap = nullptr;
}

void HandshakeCapture::readKernelDrops()
{
    pcap_stat ps{};
    if (pcap_stats(m_pcap, &ps) == 0)
        m_drops.fetch_add(ps.ps_drop, std::memory_order_relaxed);  // reset on every read
}

bool HandshakeCapture::open(std::string* error)
{
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_create("any", errbuf);
    const auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        if (handle)
            pcap_close(handle);
        return false;
    };
    if (!handle)
        return fail(errbuf);
    pcap_set_snaplen(handle, kSnapLength);
    pcap_set_buffer_size(handle, kBufferBytes);
    pcap_set_immediate_mode(handle, 1);
    pcap_set_promisc(handle, 0);
    if (pcap_activate(handle) < 0)
        return fail(std::string("cannot open the capture device: ") + pcap_geterr(handle));
    bpf_program program{};
    if (pcap_compile(handle, &program, kFilter, 1, PCAP_NETMASK_UNKNOWN) != 0)
        return fail(std::string("filter: ") + pcap_geterr(handle));
    const int set = pcap_setfilter(handle, &program);
    pcap_freecode(&program);
    if (set != 0)
        return fail(std::string("filter: ") + pcap_geterr(handle));
    if (pcap_setnonblock(handle, 1, errbuf) != 0 || pcap_get_selectable_fd(handle) < 0)
        return fail("the capture cannot be waited on");
    m_linkType = pcap_datalink(handle);
    m_pcap = handle;
    return true;
}

int HandshakeCapture::fd() const
{
    return m_pcap ? pcap_get_selectable_fd(m_pcap) : -1;
}

int HandshakeCapture::dispatch(IoEventSink& sink)
{
    if (!m_pcap)
        return 0;
    m_sink = &sink;
    const int n = pcap_dispatch(m_pcap, -1, &HandshakeCapture::onPacket, reinterpret_cast<u_char*>(this));
    m_sink = nullptr;
    if (++m_dispatches % 64 == 0)
        readKernelDrops();
    return n == PCAP_ERROR ? -1 : std::max(n, 0);
}

void HandshakeCapture::onPacket(u_char* user, const pcap_pkthdr* header, const u_char* bytes)
{
    auto* self = reinterpret_cast<HandshakeCapture*>(user);
    DecodedPacket p;
    if (decodeCapturedPacket(self->m_linkType, bytes, header->caplen, header->len, p) != DecodeResult::Ok ||
        p.direction != kDirSend || p.fragment != FragmentPart::Whole || p.dataOffset >= header->caplen)
        return;
    HandshakePayload payload;
    payload.remoteAddr = p.remoteAddr;
    payload.remotePort = p.remotePort;
    payload.localPort = p.localPort;
    payload.protocol = p.protocol;
    payload.tcpSeq = p.tcpSeq;
    payload.data = bytes + p.dataOffset;
    payload.size = std::min<uint32_t>(header->caplen - p.dataOffset, p.dataLength);
    if (payload.size == 0)
        return;
    self->m_payloads.fetch_add(1, std::memory_order_relaxed);
    self->m_sink->onHandshakePayload(payload);
}

} // namespace platform
