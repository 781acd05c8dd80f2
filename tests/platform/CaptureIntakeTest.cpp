// Recorded frames (tests/data/platform/*.pcap) replayed through the capture's decoding,
// fragment matching and flow attribution, with a socket-owner source that answers at once.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/CaptureFile.h"
#include "platform/CaptureIntake.h"

namespace {

using platform::CaptureIntake;
using platform::FlowKey;
using platform::NetEvent;

uint16_t netPort(uint16_t port)
{
    return uint16_t((port >> 8) | (port << 8));
}

// Every flow is owned by the process whose pid is its local port.
class PortOwners : public platform::FlowOwnerSource {
public:
    bool start() override { return true; }
    void stop() override {}
    bool request(const FlowKey& key) override
    {
        m_ready.push_back({key, netPort(key.localPort)});
        return true;
    }
    void takeAnswers(std::vector<platform::FlowOwnerAnswer>& out) override
    {
        out.insert(out.end(), m_ready.begin(), m_ready.end());
        m_ready.clear();
    }

private:
    std::vector<platform::FlowOwnerAnswer> m_ready;
};

class RecordingSink : public platform::IoEventSink {
public:
    void onNetEvent(const NetEvent& e) override { events.push_back(e); }
    void onDiskEvent(const platform::DiskEvent&) override {}
    std::vector<NetEvent> events;
};

struct Replay {
    std::vector<NetEvent> events;
    CaptureIntake::Stats stats;
};

Replay replay(const std::string& file)
{
    std::ifstream in(std::string(LUMIVEX_TEST_DATA) + "/platform/" + file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    int link = 0;
    std::vector<platform::CapturedFrame> frames;
    EXPECT_TRUE(platform::parseCaptureFile(bytes, link, frames)) << file;
    PortOwners owners;
    RecordingSink sink;
    platform::FlowAttributor attributor(owners, sink);
    CaptureIntake intake(link, attributor);
    uint64_t nowMs = 1000;
    for (const platform::CapturedFrame& f : frames) {
        intake.onFrame(f.data, f.caplen, f.wireLength, 0, nowMs);
        attributor.poll(++nowMs);
    }
    intake.finish();
    attributor.flush();
    return {sink.events, intake.stats()};
}

uint32_t netAddr(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    const uint8_t bytes[4] = {a, b, c, d};
    uint32_t v;
    std::memcpy(&v, bytes, 4);
    return v;
}

double bytesOf(const std::vector<NetEvent>& events)
{
    double total = 0;
    for (const NetEvent& e : events)
        total += e.size;
    return total;
}

TEST(CaptureIntake, LengthsTheWireDidNotCarryAreMalformedNotCounted)
{
    // Three 48-byte datagrams claiming 60 000 bytes each, then an honest one.
    const Replay claimed = replay("claimed_length.pcap");
    EXPECT_EQ(claimed.stats.malformed, 3u);
    ASSERT_EQ(claimed.events.size(), 1u);
    EXPECT_EQ(claimed.events[0].size, 48u);

    // TCP data offsets of 0, 4 and 15 words in 40-byte segments, then an honest segment.
    const Replay tcp = replay("tcp_data_offset.pcap");
    EXPECT_EQ(tcp.stats.malformed, 3u);
    ASSERT_EQ(tcp.events.size(), 1u);
    EXPECT_EQ(tcp.events[0].size, 140u);
}

TEST(CaptureIntake, EveryFragmentOfACompleteDatagramCountsForItsFlow)
{
    // Five 8000-byte UDP datagrams in six fragments each, then a lone later fragment.
    const Replay r = replay("udp_fragments.pcap");
    EXPECT_EQ(r.stats.fragments, 25u);
    EXPECT_EQ(r.stats.malformed, 0u);
    ASSERT_EQ(r.events.size(), 30u);
    EXPECT_EQ(bytesOf(r.events), 40640.0);
    for (const NetEvent& e : r.events) {
        EXPECT_EQ(e.localPort, netPort(40000));
        EXPECT_EQ(e.remotePort, netPort(7000));
        EXPECT_EQ(e.pid, 40000u);  // the owner of the first fragment's ports
        EXPECT_EQ(e.direction, platform::kDirSend);
        EXPECT_EQ(e.remoteAddr, netAddr(10, 0, 0, 2));
    }
    // The fragment whose datagram never completed reached no socket: it is not counted.
    EXPECT_EQ(r.stats.fragmentsIncomplete, 1u);
}

platform::DecodedPacket fragmentOf(uint16_t id, uint32_t offset, uint32_t length, bool more)
{
    platform::DecodedPacket p;
    p.protocol = platform::kProtoUdp;
    p.direction = platform::kDirReceive;
    p.ipId = id;
    p.fragmentOffset = offset;
    p.payloadLength = length;
    p.size = length + 20;
    p.moreFragments = more;
    p.fragment = offset == 0 ? platform::FragmentPart::First : platform::FragmentPart::Later;
    if (offset == 0) {
        p.localPort = 1;
        p.remotePort = 2;
    }
    return p;
}

TEST(CaptureIntake, FragmentsAreMatchedByIdInAnyOrderAndIncompleteOnesGiveUp)
{
    platform::IpFragments table(30000, 4);
    std::vector<platform::IpFragments::Held> done;
    // Last, middle, first: complete with the first, every fragment with its ports.
    EXPECT_FALSE(table.add(fragmentOf(1, 2960, 100, false), 0, 0, done));
    EXPECT_FALSE(table.add(fragmentOf(1, 1480, 1480, true), 0, 1, done));
    EXPECT_FALSE(table.add(fragmentOf(1, 1480, 1480, true), 0, 1, done));  // a copy: counts once
    ASSERT_TRUE(table.add(fragmentOf(1, 0, 1480, true), 0, 2, done));
    ASSERT_EQ(done.size(), 3u);
    for (const auto& h : done)
        EXPECT_EQ(h.packet.remotePort, 2);
    EXPECT_EQ(table.dropped(), 1u);

    // A first fragment without the rest waits, then goes after 30 s, as the stack's does.
    done.clear();
    EXPECT_FALSE(table.add(fragmentOf(2, 0, 1480, true), 0, 10, done));
    table.expire(30009);
    EXPECT_EQ(table.size(), 1u);
    table.expire(30010);
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.dropped(), 2u);

    // Overlapping fragments spoil their datagram.
    EXPECT_FALSE(table.add(fragmentOf(3, 0, 1480, true), 0, 20, done));
    EXPECT_FALSE(table.add(fragmentOf(3, 1000, 480, false), 0, 21, done));
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.dropped(), 4u);

    // A full table makes room by giving up its older half.
    for (uint16_t id = 10; id < 15; ++id)
        table.add(fragmentOf(id, 0, 8, true), 0, 100 + id, done);
    EXPECT_LE(table.size(), 4u);
    EXPECT_TRUE(done.empty());
}

} // namespace
