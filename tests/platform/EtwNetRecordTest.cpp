// The kernel trace's TCP/IP and UDP/IP event records, built byte by byte from their published
// layouts (each version, 32- and 64-bit pointers), through the decoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/EtwNetRecord.h"

using namespace platform;

namespace {

constexpr EtwGuid kDiskIoClass{0x3D6FA8D4, 0xFE05, 0x11D0, {0x9D, 0xDA, 0x00, 0xC0, 0x4F, 0xD7, 0xBA, 0x7C}};

// 10.1.2.3 (remote) and 192.168.0.5 (local) in network order; ports 443 and 50000.
const uint32_t kRemote = hostToNet32(0x0A010203);
const uint32_t kLocal = hostToNet32(0xC0A80005);
const uint16_t kRemotePort = hostToNet16(443);
const uint16_t kLocalPort = hostToNet16(50000);

class Bytes {
public:
    Bytes& u32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_b.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& u16(uint16_t v)
    {
        m_b.push_back(uint8_t(v));
        m_b.push_back(uint8_t(v >> 8));
        return *this;
    }
    // Network-order values, stored as they lie in memory.
    Bytes& raw32(uint32_t v) { return append(&v, 4); }
    Bytes& raw16(uint16_t v) { return append(&v, 2); }
    Bytes& pointer(bool is64) { return is64 ? u32(0xDEADBEEF).u32(0xFFFF8000) : u32(0x8123ABCD); }
    std::vector<uint8_t> take() { return m_b; }

private:
    Bytes& append(const void* p, size_t n)
    {
        const auto* c = static_cast<const uint8_t*>(p);
        m_b.insert(m_b.end(), c, c + n);
        return *this;
    }
    std::vector<uint8_t> m_b;
};

// PID size daddr saddr dport sport: every version from 1 on begins so.
Bytes current(uint32_t pid, uint32_t size, uint32_t daddr, uint32_t saddr, uint16_t dport, uint16_t sport)
{
    Bytes b;
    b.u32(pid).u32(size).raw32(daddr).raw32(saddr).raw16(dport).raw16(sport);
    return b;
}

struct Decoded {
    EtwNetResult result;
    EtwNetEvent event;
};

Decoded decode(const EtwGuid& cls, uint8_t type, uint8_t version, bool is64, const std::vector<uint8_t>& data,
               uint32_t headerPid = 999)
{
    EtwNetRecordView view;
    view.provider = cls;
    view.opcode = type;
    view.version = version;
    view.pointer64 = is64;
    view.headerPid = headerPid;
    view.timestamp = 133000000000000000ull;
    view.data = data.data();
    view.size = data.size();
    Decoded d{};
    d.result = decodeEtwNetRecord(view, d.event);
    return d;
}

void expectEvent(const Decoded& d, uint32_t pid, uint32_t size, uint8_t protocol, uint8_t direction)
{
    ASSERT_EQ(d.result, EtwNetResult::Event);
    const NetEvent& e = d.event.event;
    EXPECT_EQ(e.pid, pid);
    EXPECT_EQ(e.size, size);
    EXPECT_EQ(e.packets, 1u);
    EXPECT_EQ(e.protocol, protocol);
    EXPECT_EQ(e.direction, direction);
    EXPECT_EQ(e.timestamp, 133000000000000000ull);
    EXPECT_EQ(e.remoteAddr, kRemote);
    EXPECT_EQ(e.remotePort, kRemotePort);
    EXPECT_EQ(e.localPort, kLocalPort);
    EXPECT_EQ(d.event.localAddr, kLocal);
}

} // namespace

TEST(EtwNetRecord, TcpEventsOfEveryVersionNameTheirDestinationAsTheRemoteEnd)
{
    for (const bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "64-bit" : "32-bit");
        // Version 2 send: + startime endtime seqnum connid.
        expectEvent(decode(kEtwTcpIpClass, kEtwTypeSend, 2, is64,
                           current(1234, 1000, kRemote, kLocal, kRemotePort, kLocalPort).u32(1).u32(2).u32(3).pointer(is64).take()),
                    1234, 1040, kProtoTcp, kDirSend);
        // Version 2 receive: + seqnum connid; the destination is still the remote end.
        expectEvent(decode(kEtwTcpIpClass, kEtwTypeReceive, 2, is64,
                           current(1234, 1000, kRemote, kLocal, kRemotePort, kLocalPort).u32(3).pointer(is64).take()),
                    1234, 1040, kProtoTcp, kDirReceive);
    }
    expectEvent(decode(kEtwTcpIpClass, kEtwTypeReceive, 1, true, current(77, 1, kRemote, kLocal, kRemotePort, kLocalPort).take()),
                77, 41, kProtoTcp, kDirReceive);
    // Version 0: daddr saddr dport sport size PID.
    Bytes v0;
    v0.raw32(kRemote).raw32(kLocal).raw16(kRemotePort).raw16(kLocalPort).u32(500).u32(88);
    expectEvent(decode(kEtwTcpIpClass, kEtwTypeSend, 0, true, v0.take()), 88, 540, kProtoTcp, kDirSend);
}

TEST(EtwNetRecord, UdpReceiveNamesTheSenderAsTheRemoteEndAndItsDestinationPortAsLocal)
{
    for (const bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "64-bit" : "32-bit");
        expectEvent(decode(kEtwUdpIpClass, kEtwTypeSend, 2, is64,
                           current(42, 100, kRemote, kLocal, kRemotePort, kLocalPort).u32(0).pointer(is64).take()),
                    42, 128, kProtoUdp, kDirSend);
        expectEvent(decode(kEtwUdpIpClass, kEtwTypeReceive, 2, is64,
                           current(42, 100, kLocal, kRemote, kLocalPort, kRemotePort).u32(0).pointer(is64).take()),
                    42, 128, kProtoUdp, kDirReceive);
        // Version 0: context* saddr sport size16 daddr dport dsize16, no process id: the
        // header's is taken. The pointer's width moves every later field.
        Bytes v0;
        v0.pointer(is64).raw32(kLocal).raw16(kLocalPort).u16(60).raw32(kRemote).raw16(kRemotePort).u16(60);
        expectEvent(decode(kEtwUdpIpClass, kEtwTypeSend, 0, is64, v0.take(), 4321), 4321, 88, kProtoUdp, kDirSend);
    }
    expectEvent(decode(kEtwUdpIpClass, kEtwTypeReceive, 1, false,
                       current(9, 0, kLocal, kRemote, kLocalPort, kRemotePort).take()),
                9, 28, kProtoUdp, kDirReceive);
}

TEST(EtwNetRecord, RecordsShorterThanTheirLayoutAreTruncatedAndNothingBeyondIsRead)
{
    struct Case {
        EtwGuid cls;
        uint8_t type;
        uint8_t version;
        bool is64;
        size_t size;  // the layout's length
    };
    const Case cases[] = {
        {kEtwTcpIpClass, kEtwTypeSend, 2, true, 40},   {kEtwTcpIpClass, kEtwTypeSend, 2, false, 36},
        {kEtwTcpIpClass, kEtwTypeReceive, 2, true, 32}, {kEtwTcpIpClass, kEtwTypeReceive, 2, false, 28},
        {kEtwTcpIpClass, kEtwTypeSend, 1, true, 20},   {kEtwTcpIpClass, kEtwTypeSend, 0, false, 20},
        {kEtwUdpIpClass, kEtwTypeSend, 2, true, 32},   {kEtwUdpIpClass, kEtwTypeReceive, 2, false, 28},
        {kEtwUdpIpClass, kEtwTypeSend, 0, true, 24},   {kEtwUdpIpClass, kEtwTypeSend, 0, false, 20},
        {kEtwUdpIpClass, kEtwTypeReceive, 3, true, 20},  // a later version: the shared fields
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << int(c.version) << " type " << int(c.type) << " size " << c.size);
        // Exactly as long as it must be: each copy is its own allocation, so a read past the
        // end shows under AddressSanitizer.
        EXPECT_EQ(decode(c.cls, c.type, c.version, c.is64, std::vector<uint8_t>(c.size, 1)).result, EtwNetResult::Event);
        EXPECT_EQ(decode(c.cls, c.type, c.version, c.is64, std::vector<uint8_t>(c.size - 1, 1)).result,
                  EtwNetResult::Truncated);
    }
    EXPECT_EQ(decode(kEtwTcpIpClass, kEtwTypeSend, 1, true, {}).result, EtwNetResult::Truncated);
}

TEST(EtwNetRecord, OtherClassesTypesAndIpv6AreIgnored)
{
    const std::vector<uint8_t> data(64, 0);
    EXPECT_EQ(decode(kDiskIoClass, kEtwTypeSend, 2, true, data).result, EtwNetResult::Ignored);
    for (const uint8_t type : {12, 13, 14, 15, 17, 26, 27})  // connect ... fail, IPv6 send and receive
        EXPECT_EQ(decode(kEtwTcpIpClass, type, 2, true, data).result, EtwNetResult::Ignored) << int(type);
}

TEST(EtwNetRecord, OddValuesStayInRange)
{
    // No process (all ones) reads as 0; a size near the limit does not wrap when the headers
    // are added.
    const Decoded d = decode(kEtwTcpIpClass, kEtwTypeSend, 1, true,
                             current(UINT32_MAX, UINT32_MAX - 10, kRemote, kLocal, kRemotePort, kLocalPort).take());
    ASSERT_EQ(d.result, EtwNetResult::Event);
    EXPECT_EQ(d.event.event.pid, 0u);
    EXPECT_EQ(d.event.event.size, UINT32_MAX);
}

TEST(EtwNetRecord, AReceiveWithItsEndsTheOtherWayRoundIsTurned)
{
    const std::vector<uint32_t> locals = {hostToNet32(0x7F000001), kLocal};
    // A datagram whose source is this machine and destination a remote host: the ends swap.
    Decoded d = decode(kEtwUdpIpClass, kEtwTypeReceive, 2, true,
                       current(5, 10, kRemote, kLocal, kRemotePort, kLocalPort).u32(0).pointer(true).take());
    ASSERT_EQ(d.event.event.remoteAddr, kLocal);
    EXPECT_TRUE(orientByLocalAddresses(d.event, locals));
    expectEvent(d, 5, 38, kProtoUdp, kDirReceive);

    // Traffic between two local addresses, and every send, stay as decoded.
    Decoded both = decode(kEtwUdpIpClass, kEtwTypeReceive, 1, true, current(5, 10, kLocal, kLocal, 1, 2).take());
    EXPECT_FALSE(orientByLocalAddresses(both.event, locals));
    Decoded send = decode(kEtwTcpIpClass, kEtwTypeSend, 1, true, current(5, 10, kLocal, kRemote, 1, 2).take());
    EXPECT_FALSE(orientByLocalAddresses(send.event, locals));
    EXPECT_EQ(send.event.event.remoteAddr, kLocal);
}
