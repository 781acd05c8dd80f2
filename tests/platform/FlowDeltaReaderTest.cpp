#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/linux/FlowDeltaReader.h"

namespace {

using platform::FlowDelta;
using platform::FlowDeltaReader;
using platform::KernelProcessName;
using platform::NetEvent;
using platform::ProcessNames;

uint32_t addr(const std::string& dotted)
{
    in_addr a{};
    inet_pton(AF_INET, dotted.c_str(), &a);
    return a.s_addr;
}

// One read as the kernel left it: tests/data/platform/flow_deltas.txt.
std::vector<FlowDelta> recordedDeltas()
{
    std::ifstream in(std::string(LUMIVEX_TEST_DATA) + "/platform/flow_deltas.txt");
    std::vector<FlowDelta> deltas;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string protocol, local, remote;
        unsigned localPort, remotePort;
        FlowDelta d;
        fields >> protocol >> local >> localPort >> remote >> remotePort >> d.pid >> d.bytes[0] >> d.packets[0] >>
            d.bytes[1] >> d.packets[1];
        d.key = {uint8_t(protocol == "tcp" ? platform::kProtoTcp : platform::kProtoUdp), addr(local),
                 htons(uint16_t(localPort)), addr(remote), htons(uint16_t(remotePort))};
        deltas.push_back(d);
    }
    return deltas;
}

class RecordingSink : public platform::IoEventSink {
public:
    void onNetEvent(const NetEvent& e) override { events.push_back(e); }
    void onDiskEvent(const platform::DiskEvent&) override {}
    std::vector<NetEvent> events;
};

class FlowDeltaReaderTest : public ::testing::Test {
protected:
    FlowDeltaReaderTest()
        : names([this] { return nowMs; }, [this](uint32_t pid) { return live.count(pid) ? live[pid] : ""; }),
          reader(sink, names,
                 [this](uint32_t pid, KernelProcessName& out) {
                     if (!kernel.count(pid))
                         return false;
                     out = kernel[pid];
                     return true;
                 },
                 [this](uint32_t pid) { return live.count(pid) ? live[pid] : ""; })
    {
    }

    uint64_t nowMs = 1000;
    std::map<uint32_t, KernelProcessName> kernel;
    std::map<uint32_t, std::string> live;
    RecordingSink sink;
    ProcessNames names;
    FlowDeltaReader reader;
};

TEST_F(FlowDeltaReaderTest, RecordedDeltasBecomeOneEventPerDirectionWithBytesPacketsAndOwner)
{
    std::vector<FlowDelta> deltas = recordedDeltas();
    ASSERT_EQ(deltas.size(), 6u);
    reader.deliver(deltas, 777);

    // Ten of the twelve directions carried something: not the received side of the sent-only
    // datagram, nor the sent side of the mDNS flow.
    ASSERT_EQ(sink.events.size(), 10u);
    const NetEvent& https = sink.events[0];
    EXPECT_EQ(https.direction, platform::kDirReceive);
    EXPECT_EQ(https.protocol, platform::kProtoTcp);
    EXPECT_EQ(https.size, 187345u);
    EXPECT_EQ(https.packets, 131u);
    EXPECT_EQ(https.pid, 4242u);
    EXPECT_EQ(https.remoteAddr, addr("93.184.216.34"));
    EXPECT_EQ(https.remotePort, htons(443));
    EXPECT_EQ(https.localPort, htons(51744));
    EXPECT_EQ(https.timestamp, 777u);
    EXPECT_EQ(sink.events[1].direction, platform::kDirSend);
    EXPECT_EQ(sink.events[1].size, 2301u);
    EXPECT_EQ(sink.events[1].packets, 27u);

    const NetEvent& ntp = sink.events[4];
    EXPECT_EQ(ntp.remotePort, htons(123));
    EXPECT_EQ(ntp.direction, platform::kDirSend);
    EXPECT_EQ(ntp.size, 76u);

    // Unowned flows are delivered with pid 0, never dropped.
    const NetEvent& reset = sink.events.back();
    EXPECT_EQ(reset.localPort, htons(9999));
    EXPECT_EQ(reset.pid, 0u);
    EXPECT_EQ(reader.stats().unowned, 3u);
    EXPECT_EQ(reader.stats().events, 10u);
}

TEST_F(FlowDeltaReaderTest, FlowsWithoutOwnerAreMatchedToTheSocketsFoundAtStart)
{
    platform::SocketRow session{addr("192.168.1.20"), htons(22), addr("192.168.1.77"), htons(50022), 5, 1, 800};
    platform::SocketRow listener{0, htons(22), 0, 0, 2, 2, 700};
    platform::SocketRow mdns{0, htons(5353), 0, 0, 0, 3, 900};
    platform::SocketRow noOwner{addr("192.168.1.20"), htons(9999), 0, 0, 2, 4, 0};
    reader.setStartSockets(platform::SocketProtocol::Tcp, {listener, session, noOwner});
    reader.setStartSockets(platform::SocketProtocol::Udp, {mdns});

    std::vector<FlowDelta> deltas = recordedDeltas();
    // A connection the pre-existing listener accepted after the start.
    FlowDelta accepted = deltas[3];
    accepted.key.remotePort = htons(50100);
    deltas.push_back(accepted);
    reader.deliver(deltas, 1);

    EXPECT_EQ(deltas[3].pid, 800u) << "the session itself";
    EXPECT_EQ(deltas[6].pid, 700u) << "its listener";
    EXPECT_EQ(deltas[4].pid, 900u) << "the socket bound to every address";
    EXPECT_EQ(deltas[5].pid, 0u) << "a row without owner claims nothing";
    EXPECT_EQ(deltas[0].pid, 4242u) << "an owner the kernel knew stays";
    EXPECT_EQ(reader.stats().ownedAtStart, 3u);
    EXPECT_EQ(reader.stats().unowned, 1u);
}

TEST_F(FlowDeltaReaderTest, DeltaBeyondWhatOneEventCarriesIsSplitKeepingItsTotals)
{
    FlowDelta bulk;
    bulk.key = {platform::kProtoTcp, addr("10.0.0.1"), htons(40000), addr("10.0.0.2"), htons(5001)};
    bulk.pid = 10;
    bulk.bytes[1] = 5000000000ull;
    bulk.packets[1] = 3400000;
    std::vector<FlowDelta> deltas{bulk};
    reader.deliver(deltas, 1);
    ASSERT_EQ(sink.events.size(), 3u);
    uint64_t bytes = 0, packets = 0;
    for (const NetEvent& e : sink.events) {
        EXPECT_LE(e.size, 0x7FFFFFFFu);
        EXPECT_GT(e.packets, 0u);
        bytes += e.size;
        packets += e.packets;
    }
    EXPECT_EQ(bytes, 5000000000ull);
    EXPECT_EQ(packets, 3400000u);
}

TEST_F(FlowDeltaReaderTest, OwnersAreNamedWhileTheKernelOrTheProcessStillKnowsThem)
{
    kernel[4242] = {11, "firefox-esr"};
    kernel[4243] = {12, "a-resolver-with-a-very-long-executable-name-that-the-kernel-cuts-o"};
    live[4243] = "a-resolver-with-a-very-long-executable-name-that-the-kernel-cuts-off-here";
    std::vector<FlowDelta> deltas = recordedDeltas();
    reader.deliver(deltas, 1);
    EXPECT_EQ(names.nameOf(4242), "firefox-esr");
    EXPECT_EQ(names.nameOf(4243), live[4243]) << "a cut name is completed from the live process";

    // The process is gone: its name stays.
    kernel.erase(4243);
    live.erase(4243);
    nowMs += 60000;
    EXPECT_EQ(names.nameOf(4243), "a-resolver-with-a-very-long-executable-name-that-the-kernel-cuts-off-here");

    // A new process with a reused pid is named anew; one without a kernel name from /proc.
    kernel[4242] = {99, "curl"};
    live[5000] = "wget";
    FlowDelta d = deltas[1];
    d.pid = 5000;
    deltas = {deltas[0], d};
    reader.deliver(deltas, 2);
    EXPECT_EQ(names.nameOf(4242), "curl");
    EXPECT_EQ(names.nameOf(5000), "wget");
}

TEST(ProcessNamesTest, FreshNamesWinThenTheLiveProcessThenTheLastName)
{
    uint64_t now = 0;
    std::map<uint32_t, std::string> live;
    ProcessNames names([&] { return now; }, [&](uint32_t pid) { return live.count(pid) ? live[pid] : ""; });
    names.remember(7, "short-lived");
    live[7] = "reused-pid";
    EXPECT_EQ(names.nameOf(7), "short-lived");
    now += ProcessNames::kFreshMs + 1;
    EXPECT_EQ(names.nameOf(7), "reused-pid") << "an old name does not hide a live process";
    live.erase(7);
    EXPECT_EQ(names.nameOf(7), "short-lived");
    EXPECT_EQ(names.nameOf(8), "");
    EXPECT_EQ(names.nameOf(0), "");

    // A full registry forgets its oldest names first.
    for (uint32_t pid = 100; pid < 100 + ProcessNames::kMaxNames; ++pid) {
        ++now;
        names.remember(pid, "p");
    }
    EXPECT_LE(names.size(), ProcessNames::kMaxNames);
    EXPECT_EQ(names.nameOf(7), "");
    EXPECT_EQ(names.nameOf(100 + ProcessNames::kMaxNames - 1), "p");
}

} // namespace
