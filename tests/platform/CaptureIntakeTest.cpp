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

TEST(CaptureIntake, EveryFragmentCountsForItsDatagramsFlow)
{
    // Five 8000-byte UDP datagrams in six fragments each, then a lone later fragment.
    const Replay r = replay("udp_fragments.pcap");
    EXPECT_EQ(r.stats.fragments, 26u);
    EXPECT_EQ(r.stats.fragmentsUnmatched, 1u);
    EXPECT_EQ(r.stats.malformed, 0u);
    std::vector<NetEvent> flow, other;
    for (const NetEvent& e : r.events)
        (e.localPort == netPort(40000) && e.remotePort == netPort(7000) ? flow : other).push_back(e);
    ASSERT_EQ(flow.size(), 30u);
    EXPECT_EQ(bytesOf(flow), 40640.0);
    for (const NetEvent& e : flow) {
        EXPECT_EQ(e.pid, 40000u);  // the owner of the first fragment's ports
        EXPECT_EQ(e.direction, platform::kDirSend);
        EXPECT_EQ(e.remoteAddr, netAddr(10, 0, 0, 2));
    }
    // The fragment whose first part was never seen: counted for its remote address alone.
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0].size, 1500u);
    EXPECT_EQ(other[0].remoteAddr, netAddr(10, 0, 0, 3));
    EXPECT_EQ(other[0].remotePort, 0);
    EXPECT_EQ(other[0].pid, 0u);
    EXPECT_EQ(other[0].direction, platform::kDirReceive);
}

TEST(CaptureIntake, FragmentTableForgetsFinishedExpiredAndOldestDatagrams)
{
    platform::DecodedPacket first;
    first.protocol = platform::kProtoUdp;
    first.localPort = 1;
    first.remotePort = 2;
    first.moreFragments = true;
    platform::IpFragments table(30000, 4);
    for (uint16_t id = 0; id < 4; ++id) {
        first.ipId = id;
        table.onFirst(first, 10 * id);
    }
    platform::DecodedPacket later = first;
    later.ipId = 3;
    later.localPort = later.remotePort = 0;
    later.moreFragments = false;  // the last fragment of datagram 3
    EXPECT_TRUE(table.onLater(later, 40));
    EXPECT_EQ(later.remotePort, 2);
    EXPECT_FALSE(table.onLater(later, 41));  // finished: forgotten
    first.ipId = 4;
    table.onFirst(first, 50);
    table.onFirst(first, 50);
    first.ipId = 5;
    table.onFirst(first, 60);  // full: the older half makes room
    EXPECT_LE(table.size(), 4u);
    later.ipId = 0;
    EXPECT_FALSE(table.onLater(later, 61));  // the oldest went
    later.ipId = 5;
    later.moreFragments = true;
    EXPECT_TRUE(table.onLater(later, 30059));
    EXPECT_FALSE(table.onLater(later, 30060));  // kept 30 s at most
}

} // namespace
