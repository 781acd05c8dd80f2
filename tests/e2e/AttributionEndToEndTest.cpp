// Short-lived programs against a test host, as a user tries them: 200 one-datagram UDP
// exchanges and 200 TCP connections of about a millisecond, each from a new process named
// after its test. Every byte the wire carried (an independent capture on our end of the veth
// pair) must reach the right process, the per-address record must carry the program's name,
// and so must the per-program totals after the processes are gone. With the eBPF source all of
// it must hold; the fallback (loading refused, so pcap) reports the share it reaches.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pcap/pcap.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "TestNetwork.h"
#include "WireTally.h"
#include "WithoutCapabilities.h"
#include "capengine/XEngine.h"
#include "capture/XPacketBaseParser.h"
#include "capture/XParserResult.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/IoEventSource.h"

namespace {

constexpr int kTcpPort = 7401;
constexpr int kUdpPort = 7402;
constexpr int kClosedPort = 7499;
constexpr int kRuns = 200;
constexpr char kUdpProgram[] = "lvx-dns-once";
constexpr char kTcpProgram[] = "lvx-http-brief";

struct Client {
    pid_t pid = 0;
    uint16_t port = 0;  // host order
};

enum class Source { Ebpf, Fallback };

class AttributionEndToEnd : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override
    {
        std::string why;
        if (!m_net.create(why))
            GTEST_SKIP() << why;
        {
            // Loading the programs is refused without CAP_BPF (or CAP_SYS_ADMIN).
            std::unique_ptr<WithoutCapabilities> lowered;
            if (GetParam() == Source::Fallback)
                lowered = std::make_unique<WithoutCapabilities>(std::initializer_list<int>{CAP_BPF, CAP_SYS_ADMIN});
            m_trace = std::make_unique<XKernelIoTrace>(platform::createSystemIoEventSource());
        }
        m_sourceName = m_trace->sourceStatus();
        m_info = std::make_unique<XPCProcessInfo>(XPCProcessInfo::Hooks::system(), m_trace.get());
        m_parser.init(&m_results, nullptr, m_info.get());
        XEngine::Components components;
        components.results = &m_results;
        components.processInfo = m_info.get();
        m_engine = std::make_unique<XEngine>(components);
        m_trace->enableNetEvents();
        m_trace->startTraceThread();
        m_pump = std::thread([this] { pump(); });
        m_sampler = std::thread([this] { sample(); });
        ASSERT_TRUE(waitFor([&] { return m_trace->stats().running; }, 5000)) << "the event source did not start";

        ASSERT_GT(m_net.spawnInside({peerProgram(), "tcp-server", std::to_string(kTcpPort), "1000"}), 0);
        ASSERT_GT(m_net.spawnInside({peerProgram(), "udp-echo", std::to_string(kUdpPort)}), 0);
        // A folder of this process's own: another test may be running its copies now.
        m_programs = std::string(E2E_SCRATCH_DIR) + "/attribution-" + std::to_string(getpid());
        std::filesystem::create_directories(m_programs);
        for (const char* name : {kUdpProgram, kTcpProgram}) {
            const std::string path = m_programs + "/" + name;
            std::filesystem::copy_file(peerProgram(), path, std::filesystem::copy_options::overwrite_existing);
            chmod(path.c_str(), 0755);
        }
        ASSERT_TRUE(m_wire.open(m_net.hostInterface(), TestNetwork::netOrder(m_net.hostAddr()),
                                "ip and (tcp port " + std::to_string(kTcpPort) + " or udp port " +
                                    std::to_string(kUdpPort) + ")"));
        openGates();
    }

    void TearDown() override
    {
        if (m_trace)
            m_trace->stopTrace();
        m_stopPump = true;
        if (m_pump.joinable())
            m_pump.join();
        if (m_sampler.joinable())
            m_sampler.join();
        std::error_code ignored;
        if (!m_programs.empty())
            std::filesystem::remove_all(m_programs, ignored);
    }

    // The front end's timer. Other tests may run programs meanwhile, so it drains the
    // per-process totals ten times a second rather than once.
    void sample()
    {
        uint32_t tick = 0;
        while (!m_stopPump) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            m_engine->sample(tick += 100);
        }
    }

    // The parser thread's part, and a copy of every event of the test host.
    void pump()
    {
        const uint32_t peer = m_net.peerAddrNetOrder();
        const uint32_t second = TestNetwork::netOrder(m_net.secondPeerAddr());
        const uint32_t ours = TestNetwork::netOrder(m_net.hostAddr());
        ORVANEPRO_NetIo io;
        while (!m_stopPump) {
            if (!m_trace->ring()->popNetIo(&io))
                continue;
            m_parser.parserSock(io);
            // The peer's sockets live in its own network namespace: their traffic, which has
            // our address at its far end, must not be counted here as well.
            if (io.remoteAddr == ours)
                m_foreignEvents.fetch_add(1, std::memory_order_relaxed);
            if (io.remoteAddr != peer && io.remoteAddr != second)
                continue;
            std::lock_guard<std::mutex> guard(m_mutex);
            m_events.push_back(io);
        }
    }

    // The first event of each class after the start is held back; traffic to a closed port of
    // an address the checks do not look at opens both gates.
    void openGates()
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = TestNetwork::netOrder(m_net.spareAddr());
        to.sin_port = htons(kClosedPort);
        const int udp = socket(AF_INET, SOCK_DGRAM, 0);
        const bool open = waitFor([&] {
            sendto(udp, "w", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            const int tcp = socket(AF_INET, SOCK_STREAM, 0);
            connect(tcp, reinterpret_cast<sockaddr*>(&to), sizeof to);
            close(tcp);
            return m_trace->gateOpen(XKernelIoTrace::kGateTcp) && m_trace->gateOpen(XKernelIoTrace::kGateUdp);
        }, 5000);
        close(udp);
        ASSERT_TRUE(open);
    }

    // Waits for one client program to end; its pid and local port.
    Client finish(pid_t pid)
    {
        Client c;
        c.pid = pid;
        const std::string out = m_net.readOutput(c.pid, 5000);
        const int status = m_net.waitExit(c.pid, 5000);
        EXPECT_EQ(status, 0) << out;
        unsigned port = 0;
        if (std::sscanf(out.c_str(), "port %u", &port) == 1)
            c.port = uint16_t(port);
        return c;
    }

    // Runs the programs in groups of 20 at once, without a pause: 200 of them within about
    // two seconds, all of their flows delivered in a handful of reads of the kernel's counts.
    std::vector<Client> runAll(const std::string& program, const std::vector<std::string>& args)
    {
        std::vector<Client> clients;
        for (int i = 0; i < kRuns; i += 20) {
            std::vector<pid_t> group;
            for (int k = i; k < std::min(i + 20, kRuns); ++k) {
                std::vector<std::string> argv{m_programs + "/" + program};
                argv.insert(argv.end(), args.begin(), args.end());
                group.push_back(m_net.spawnHere(argv));
            }
            for (const pid_t pid : group)
                clients.push_back(finish(pid));
        }
        return clients;
    }

    uint64_t eventBytes(uint16_t protocol, uint32_t remote)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        uint64_t sum = 0;
        for (const ORVANEPRO_NetIo& io : m_events)
            if (io.protocol == protocol && io.remoteAddr == remote)
                sum += io.bytesSent + io.bytesReceived;
        return sum;
    }

    // Waits until the events have caught up with the wire (or stopped coming) and the
    // per-process totals were drained.
    void settle(uint16_t protocol, uint32_t remote, uint64_t wireBytes)
    {
        uint64_t last = ~0ull;
        int still = 0;
        waitFor([&] {
            const uint64_t now = eventBytes(protocol, remote);
            still = now == last ? still + 1 : 0;
            last = now;
            return (now >= wireBytes && m_trace->ring()->pending() == 0) || still >= 50;
        }, 5000);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    struct Outcome {
        uint64_t wire = 0;            // bytes on the wire, both ways
        uint64_t wirePackets = 0;
        uint64_t rightPid = 0;        // bytes delivered with the pid of the program that moved them
        size_t exactClients = 0;      // clients whose every byte came with their pid
        uint64_t recordBytes = 0;     // the address's record
        uint64_t recordPackets = 0;
        std::string recordProgram;
        uint64_t programTotals = 0;   // per-program totals under the program's name
    };

    Outcome measure(uint16_t protocol, const std::string& remoteDotted, const std::vector<Client>& clients,
                    const char* program)
    {
        const uint32_t remote = TestNetwork::netOrder(remoteDotted);
        const uint8_t ipProtocol = protocol == kNetIoTcp ? IPPROTO_TCP : IPPROTO_UDP;
        Outcome o;
        m_wire.drain();
        // A later program may get the local port of an earlier one: the wire cannot tell them
        // apart, so the programs of one port are judged together.
        std::map<uint16_t, std::vector<pid_t>> byPort;
        for (const Client& c : clients)
            byPort[c.port].push_back(c.pid);
        for (const auto& [port, pids] : byPort) {
            const WireTally::Flow f = m_wire.flow(ipProtocol, port);
            o.wire += f.bytes[0] + f.bytes[1];
            o.wirePackets += f.packets[0] + f.packets[1];
        }
        settle(protocol, remote, o.wire);
        std::lock_guard<std::mutex> guard(m_mutex);
        for (const auto& [port, pids] : byPort) {
            uint64_t mine = 0;
            size_t withBytes = 0;
            for (const pid_t pid : pids) {
                uint64_t ofPid = 0;
                for (const ORVANEPRO_NetIo& io : m_events) {
                    // TCP events carry no local port: a pid has one connection here.
                    const bool ours = io.protocol == protocol && io.remoteAddr == remote &&
                                      io.processId == uint32_t(pid) &&
                                      (protocol == kNetIoTcp || io.localPort == htons(port));
                    ofPid += ours ? io.bytesSent + io.bytesReceived : 0;
                }
                mine += ofPid;
                withBytes += ofPid > 0;
            }
            const WireTally::Flow f = m_wire.flow(ipProtocol, port);
            const uint64_t wire = f.bytes[0] + f.bytes[1];
            o.rightPid += std::min(mine, wire);
            if (mine == wire && withBytes == pids.size())
                o.exactClients += pids.size();
        }
        XParserResult* counter = m_results.getResult(protocol == kNetIoTcp ? "tcp" : "udp");
        _X_R_PACKETCOUNTER record{};
        if (counter && counter->getIPdata(ntohl(remote), record)) {
            o.recordBytes = uint64_t(record.bytes[0] + record.bytes[1]);
            o.recordPackets = uint64_t(record.packets[0] + record.packets[1]);
            o.recordProgram = record.programName;
        }
        // Another test may run programs of the same name at the same time.
        std::set<uint32_t> ours;
        for (const Client& c : clients)
            ours.insert(uint32_t(c.pid));
        for (const XProcessRow& row : m_engine->processTotals().rows)
            if (row.name == program && ours.count(row.pid))
                o.programTotals += row.received + row.sent;
        return o;
    }

    static double share(uint64_t part, uint64_t whole) { return whole ? 100.0 * double(part) / double(whole) : 0; }

    void report(const char* what, const Outcome& o)
    {
        std::printf("[%s] %s: wire %llu bytes / %llu packets; right pid %.1f %% (%zu of %d programs exact); "
                    "address record %.1f %% under \"%s\"; per-program totals %.1f %% (programs folded so far: %llu)\n",
                    m_sourceName.c_str(), what, (unsigned long long)o.wire, (unsigned long long)o.wirePackets,
                    share(o.rightPid, o.wire), o.exactClients, kRuns, share(o.recordBytes, o.wire),
                    o.recordProgram.c_str(), share(o.programTotals, o.wire),
                    (unsigned long long)m_engine->stats().netProcessesFolded);
    }

    void expectEverything(const Outcome& o, const char* program)
    {
        EXPECT_EQ(m_engine->stats().netProcessesFolded, 0u);
        EXPECT_GT(o.wire, 0u);
        EXPECT_EQ(o.exactClients, size_t(kRuns));
        EXPECT_EQ(o.rightPid, o.wire);
        EXPECT_EQ(o.recordBytes, o.wire);
        EXPECT_EQ(o.recordPackets, o.wirePackets);
        EXPECT_EQ(o.recordProgram, program);
        EXPECT_EQ(o.programTotals, o.wire);
    }

    TestNetwork m_net;
    WireTally m_wire;
    std::unique_ptr<XKernelIoTrace> m_trace;
    std::unique_ptr<XPCProcessInfo> m_info;
    XParserResultMgr m_results;
    XPacketBaseParser m_parser;
    std::unique_ptr<XEngine> m_engine;
    std::string m_sourceName;
    std::string m_programs;  // the test programs' folder
    std::thread m_pump;
    std::thread m_sampler;
    std::atomic<bool> m_stopPump{false};
    std::atomic<uint64_t> m_foreignEvents{0};
    std::mutex m_mutex;
    std::vector<ORVANEPRO_NetIo> m_events;
};

TEST_P(AttributionEndToEnd, ShortLivedProgramsGetEveryByteUnderTheirName)
{
    if (GetParam() == Source::Ebpf)
        ASSERT_EQ(m_sourceName, "ebpf");
    else
        ASSERT_EQ(m_sourceName, "pcap: no CAP_BPF");

    const std::vector<Client> udp =
        runAll(kUdpProgram, {"udp-client", m_net.peerAddr(), std::to_string(kUdpPort), "100", "1", "0"});
    const Outcome u = measure(kNetIoUdp, m_net.peerAddr(), udp, kUdpProgram);
    report("200 one-datagram UDP exchanges", u);

    const std::vector<Client> tcp =
        runAll(kTcpProgram, {"tcp-client", m_net.secondPeerAddr(), std::to_string(kTcpPort), "1000", "1"});
    const Outcome t = measure(kNetIoTcp, m_net.secondPeerAddr(), tcp, kTcpProgram);
    report("200 TCP connections of about 1 ms", t);

    if (GetParam() == Source::Ebpf) {
        expectEverything(u, kUdpProgram);
        expectEverything(t, kTcpProgram);
    }
    EXPECT_EQ(m_foreignEvents.load(), 0u) << "the test host's own sockets were counted";
}

TEST_P(AttributionEndToEnd, DualStackSocketCountsItsIpv4TrafficAsIpv4)
{
    // A UDP exchange of our own through an IPv6 socket, addressed ::ffff:a.b.c.d.
    const int s = socket(AF_INET6, SOCK_DGRAM, 0);
    ASSERT_GE(s, 0);
    const int no = 0;
    setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    timeval tv{2, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    to.sin6_port = htons(kUdpPort);
    ASSERT_EQ(inet_pton(AF_INET6, ("::ffff:" + m_net.peerAddr()).c_str(), &to.sin6_addr), 1);
    char payload[300] = {};
    ASSERT_EQ(sendto(s, payload, sizeof payload, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), ssize_t(sizeof payload));
    char echo[512];
    ASSERT_EQ(recv(s, echo, sizeof echo, 0), ssize_t(sizeof payload));
    sockaddr_in6 local{};
    socklen_t len = sizeof local;
    getsockname(s, reinterpret_cast<sockaddr*>(&local), &len);
    close(s);

    const uint32_t peer = m_net.peerAddrNetOrder();
    uint64_t sent = 0, received = 0, wrongPid = 0;
    waitFor([&] {
        std::lock_guard<std::mutex> guard(m_mutex);
        sent = received = wrongPid = 0;
        for (const ORVANEPRO_NetIo& io : m_events) {
            if (io.protocol != kNetIoUdp || io.remoteAddr != peer || io.localPort != local.sin6_port)
                continue;
            sent += io.bytesSent;
            received += io.bytesReceived;
            wrongPid += io.processId != uint32_t(getpid());
        }
        return sent >= 328 && received >= 328;
    }, 3000);
    EXPECT_EQ(sent, 328u);
    EXPECT_EQ(received, 328u);
    // The fallback's socket lookup asks for IPv4 sockets only, so it cannot name this one.
    if (GetParam() == Source::Ebpf) {
        EXPECT_EQ(wrongPid, 0u);
    } else {
        std::printf("[%s] dual-stack UDP exchange: %llu of 2 events without their pid\n", m_sourceName.c_str(),
                    (unsigned long long)wrongPid);
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, AttributionEndToEnd, ::testing::Values(Source::Ebpf, Source::Fallback),
                         [](const ::testing::TestParamInfo<Source>& info) {
                             return info.param == Source::Ebpf ? "Ebpf" : "FallbackToPcap";
                         });

} // namespace
