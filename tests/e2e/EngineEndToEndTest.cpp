// The whole engine against real traffic: a test host in a network namespace with a TCP
// server, a UDP echo and a DNS responder; real client programs here; the engine's own read
// operations and the console front end's output checked. With LUMIVEX_E2E_SOURCE=pcap the
// engine starts without the capabilities the eBPF programs need, so it runs on the libpcap
// fallback (whose listener sees the queries too, not only the answers).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestNetwork.h"
#include "WithoutCapabilities.h"
#include "capture/XDNSRecord.h"
#include "capengine/XEngine.h"
#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XPCProcessInfo.h"

namespace {

constexpr int kTcpPort = 7201;
constexpr int kUdpPort = 7202;
constexpr int kClosedPort = 7299;
constexpr char kQueryName[] = "www.lumivex-test.example";
constexpr char kCanonicalName[] = "edge.lumivex-cdn.example";


// A standard recursive A query for name.
std::vector<uint8_t> dnsQuery(const std::string& name, uint16_t id)
{
    std::vector<uint8_t> q = {uint8_t(id >> 8), uint8_t(id), 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0};
    size_t start = 0;
    while (start <= name.size()) {
        size_t dot = name.find('.', start);
        if (dot == std::string::npos)
            dot = name.size();
        q.push_back(uint8_t(dot - start));
        q.insert(q.end(), name.begin() + long(start), name.begin() + long(dot));
        start = dot + 1;
    }
    q.insert(q.end(), {0, 0, 1, 0, 1});
    return q;
}

class EngineEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_net = new TestNetwork;
        std::string why;
        if (!s_net->create(why)) {
            s_skip = why;
            return;
        }
        const std::string peer = peerProgram();
        if (s_net->spawnInside({peer, "tcp-server", std::to_string(kTcpPort), "50000"}) <= 0 ||
            s_net->spawnInside({peer, "udp-echo", std::to_string(kUdpPort)}) <= 0 ||
            s_net->spawnInside({peer, "dns-server", s_net->peerAddr(), kCanonicalName}) <= 0) {
            s_skip = "could not start the test host's servers";
            return;
        }
        // The engine starts after the test network exists, so it listens on its address too.
        const char* source = std::getenv("LUMIVEX_E2E_SOURCE");
        s_fallback = source && std::string(source) == "pcap";
        std::unique_ptr<WithoutCapabilities> lowered;
        if (s_fallback)
            lowered = std::make_unique<WithoutCapabilities>(std::initializer_list<int>{CAP_BPF, CAP_SYS_ADMIN});
        s_engine = new XEngine;
        s_started = s_engine->start();
    }

    static void TearDownTestSuite()
    {
        if (s_engine)
            s_engine->stop();
        delete s_engine;
        s_engine = nullptr;
        delete s_net;
        s_net = nullptr;
    }

    void SetUp() override
    {
        if (!s_skip.empty())
            GTEST_SKIP() << s_skip;
        ASSERT_TRUE(s_started) << "the engine did not start";
        ASSERT_EQ(s_engine->eventSource().rfind(s_fallback ? "pcap" : "ebpf", 0), 0u) << s_engine->eventSource();
        openGates();
    }

    static XPCProcessInfo* info() { return XPCProcessInfo::Instance(); }

    // Waits until capture delivers events of each protocol: traffic to a closed port of an
    // address the tests do not look at.
    void openGates()
    {
        XKernelIoTrace* trace = info()->trace();
        ASSERT_TRUE(waitFor([&] { return trace->stats().running; }, 5000));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = TestNetwork::netOrder(s_net->spareAddr());
        to.sin_port = htons(kClosedPort);
        const int udp = socket(AF_INET, SOCK_DGRAM, 0);
        const bool open = waitFor([&] {
            sendto(udp, "w", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            const int tcp = socket(AF_INET, SOCK_STREAM, 0);
            connect(tcp, reinterpret_cast<sockaddr*>(&to), sizeof to);
            close(tcp);
            return trace->gateOpen(XKernelIoTrace::kGateTcp) && trace->gateOpen(XKernelIoTrace::kGateUdp);
        }, 5000);
        close(udp);
        ASSERT_TRUE(open);
    }

    static bool record(XTrafficKind kind, const std::string& dotted, XTrafficRow& out)
    {
        return s_engine->row(kind, ntohl(TestNetwork::netOrder(dotted)), out);
    }

    // Waits (at most 10 s) until the engine's row of the address satisfies pred; the last row
    // read is left in out. The engine is waited for, not the clock: under a sanitizer it may
    // take seconds to work off what the capture delivered.
    static bool waitForRow(XTrafficKind kind, const std::string& dotted, XTrafficRow& out,
                           const std::function<bool(const XTrafficRow&)>& pred)
    {
        return waitFor([&] { return record(kind, dotted, out) && pred(out); }, 10000);
    }

    // Asks the test host's DNS responder, from the local address from when given.
    static std::string askDns(const std::string& from = "")
    {
        const int s = socket(AF_INET, SOCK_DGRAM, 0);
        if (!from.empty()) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_addr.s_addr = TestNetwork::netOrder(from);
            bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local);
        }
        timeval tv{2, 0};
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = s_net->peerAddrNetOrder();
        to.sin_port = htons(53);
        const std::vector<uint8_t> q = dnsQuery(kQueryName, 0x4C58);
        sendto(s, q.data(), q.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        char reply[512];
        const ssize_t n = recv(s, reply, sizeof reply, 0);
        close(s);
        return n > 0 ? std::string(reply, size_t(n)) : std::string();
    }

    // Asks until the engine has learnt a name, at most five times: the listener opens its
    // socket on its own thread, so a query sent right after the start may go unseen, as any
    // query before the start does. The last reply, empty when none came.
    static std::string askDnsUntilLearnt(const std::string& from = "")
    {
        std::string reply;
        const uint64_t learnt = s_engine->stats().namesLearnt;
        for (int attempt = 0; attempt < 5; ++attempt) {
            reply = askDns(from);
            if (waitFor([&] { return s_engine->stats().namesLearnt > learnt; }, 2000))
                break;
        }
        return reply;
    }

    static TestNetwork* s_net;
    static XEngine* s_engine;
    static bool s_started;
    static bool s_fallback;
    static std::string s_skip;
};

TestNetwork* EngineEndToEnd::s_net = nullptr;
XEngine* EngineEndToEnd::s_engine = nullptr;
bool EngineEndToEnd::s_started = false;
bool EngineEndToEnd::s_fallback = false;
std::string EngineEndToEnd::s_skip;

TEST_F(EngineEndToEnd, TcpAndUdpTrafficIsCountedPerAddressWithItsProgram)
{
    const pid_t tcp = s_net->spawnHere({peerProgram(), "tcp-client", s_net->peerAddr(),
                                        std::to_string(kTcpPort), "200000", "300"});
    ASSERT_EQ(s_net->waitExit(tcp, 10000), 0);
    XTrafficRow r;
    ASSERT_TRUE(waitForRow(kTrafficTcp, s_net->peerAddr(), r, [](const XTrafficRow& row) {
        return row.bytes[1] > 200000.0 && row.bytes[0] > 50000.0;
    })) << "sent " << r.bytes[1] << ", received " << r.bytes[0];
    EXPECT_LT(r.bytes[1], 220000.0);  // headers included
    EXPECT_GT(r.packets[1], 4.0);
    EXPECT_EQ(r.program, "e2e_peer");
    EXPECT_EQ(r.remotePort, kTcpPort);

    // UDP: exact, from the difference the client makes.
    XTrafficRow before;
    record(kTrafficUdp, s_net->peerAddr(), before);
    const pid_t udp = s_net->spawnHere({peerProgram(), "udp-client", s_net->peerAddr(),
                                        std::to_string(kUdpPort), "500", "20", "300"});
    ASSERT_EQ(s_net->waitExit(udp, 10000), 0);
    ASSERT_TRUE(waitForRow(kTrafficUdp, s_net->peerAddr(), r, [&](const XTrafficRow& row) {
        return row.packets[0] - before.packets[0] >= 20.0 && row.packets[1] - before.packets[1] >= 20.0;
    })) << "packets out " << r.packets[1] - before.packets[1] << ", in " << r.packets[0] - before.packets[0];
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // nothing more may come
    ASSERT_TRUE(record(kTrafficUdp, s_net->peerAddr(), r));
    EXPECT_EQ(r.bytes[1] - before.bytes[1], 20 * 528.0);
    EXPECT_EQ(r.bytes[0] - before.bytes[0], 20 * 528.0);
    EXPECT_EQ(r.packets[1] - before.packets[1], 20.0);
    EXPECT_EQ(r.packets[0] - before.packets[0], 20.0);
    EXPECT_EQ(r.program, "e2e_peer");
    EXPECT_EQ(s_engine->stats().ringDropped, 0u);
}

TEST_F(EngineEndToEnd, DnsAnswersTeachTheCanonicalName)
{
    const std::string reply = askDnsUntilLearnt();
    ASSERT_FALSE(reply.empty()) << "the DNS responder did not answer";
    const uint32_t peer = ntohl(s_net->peerAddrNetOrder());
    ASSERT_TRUE(waitFor([&] { return !s_engine->dnsName(peer).empty(); }, 10000))
        << "datagrams received " << s_engine->stats().datagramsReceived << ", kept "
        << s_engine->stats().datagramsKept << ", listeners " << s_engine->stats().listeners;
    EXPECT_EQ(s_engine->dnsName(peer), kCanonicalName);
}

TEST_F(EngineEndToEnd, AnswersThisHostDidNotAskForTeachNothing)
{
    ASSERT_FALSE(askDnsUntilLearnt().empty());  // the listener is reading
    // The test host's port 53 sends answers to a closed port of ours: nobody asked. Where the
    // queries come by another road than the answers, such an answer waits for its query in
    // vain first.
    const auto refused = [] {
        const XEngineStats s = s_engine->stats();
        return s.dnsUnasked + s.dnsAnswersGaveUp;
    };
    const uint64_t before = refused();
    const pid_t forger = s_net->spawnInside({peerProgram(), "dns-forge", s_net->peerAddr(), s_net->hostAddr(),
                                             std::to_string(kClosedPort), "www.yourbank.example", "3", "20", "1"});
    ASSERT_GT(forger, 0);
    EXPECT_EQ(s_net->waitExit(forger, 10000), 0);
    ASSERT_TRUE(waitFor([&] { return refused() >= before + 20; }, 10000)) << "refused " << refused() - before;
    EXPECT_EQ(s_engine->dnsName(0x64400000), "");  // 100.64.0.0, the first forged address
    EXPECT_EQ(s_engine->dnsName(0x64400000 + 59), "");
}

TEST_F(EngineEndToEnd, AnAddressAddedAfterTheStartGetsNamesToo)
{
    // The test network's spare host address, added now: the engine started without it.
    const std::string added = s_net->hostAddr().substr(0, s_net->hostAddr().rfind('.') + 1) + "5";
    ASSERT_EQ(std::system(("ip addr add " + added + "/29 dev " + s_net->hostInterface()).c_str()), 0);
    const uint64_t learnt = s_engine->stats().namesLearnt;
    const std::string reply = askDnsUntilLearnt(added);
    std::system(("ip addr del " + added + "/29 dev " + s_net->hostInterface()).c_str());
    ASSERT_FALSE(reply.empty()) << "the DNS responder did not answer";
    EXPECT_TRUE(waitFor([&] { return s_engine->stats().namesLearnt > learnt; }, 10000))
        << "queries seen " << s_engine->stats().dnsQueries << ", unasked " << s_engine->stats().dnsUnasked;
}

TEST_F(EngineEndToEnd, ChatProgramTrafficIsAdoptedByTheChatCounter)
{
    // A program whose executable is named like a registered chat client.
    const std::string chat = std::string(E2E_SCRATCH_DIR) + "/telegram-desktop";
    std::filesystem::copy_file(peerProgram(), chat, std::filesystem::copy_options::overwrite_existing);
    chmod(chat.c_str(), 0755);
    const pid_t client = s_net->spawnHere({chat, "tcp-client", s_net->secondPeerAddr(),
                                           std::to_string(kTcpPort), "30000", "300"});
    ASSERT_EQ(s_net->waitExit(client, 10000), 0);
    XTrafficRow r;
    const auto sentAll = [](const XTrafficRow& row) { return row.bytes[1] > 30000.0; };
    ASSERT_TRUE(waitForRow(kTrafficChat, s_net->secondPeerAddr(), r, sentAll))
        << "the chat counter did not adopt the address";
    ASSERT_TRUE(waitForRow(kTrafficTcp, s_net->secondPeerAddr(), r, sentAll));
}

// Brackets and braces balance outside strings, and every string ends.
bool balancedJson(const std::string& text)
{
    std::vector<char> stack;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"')
            inString = true;
        else if (c == '{' || c == '[')
            stack.push_back(c == '{' ? '}' : ']');
        else if (c == '}' || c == ']') {
            if (stack.empty() || stack.back() != c)
                return false;
            stack.pop_back();
        }
    }
    return stack.empty() && !inString;
}

TEST_F(EngineEndToEnd, ConsoleFrontEndPrintsTheSameTraffic)
{
    // The live JSON view prints a document every second; traffic goes on until one document
    // shows it all, however long the program takes to start.
    const pid_t lumivex = s_net->spawnHere({LUMIVEX_PATH, "--json", "--no-history"});
    ASSERT_GT(lumivex, 0);
    const std::vector<std::string> wanted = {"\"address\": \"" + s_net->peerAddr() + "\"",
                                             "\"program\": \"e2e_peer\"",
                                             std::string("\"dns_name\": \"") + kCanonicalName + "\""};
    std::string out;
    std::string last;  // the last complete document
    const auto showsAll = [&](const std::string& doc) {
        for (const std::string& w : wanted)
            if (doc.find(w) == std::string::npos)
                return false;
        return true;
    };
    for (int round = 0; round < 20 && !showsAll(last); ++round) {
        askDns();
        const pid_t client = s_net->spawnHere({peerProgram(), "tcp-client", s_net->peerAddr(),
                                               std::to_string(kTcpPort), "100000", "300"});
        ASSERT_EQ(s_net->waitExit(client, 10000), 0);
        out += s_net->readOutput(lumivex, 1200);
        const size_t end = out.rfind("\n}\n");
        if (end != std::string::npos) {
            const size_t begin = out.rfind("\n{\n", end) == std::string::npos ? 0 : out.rfind("\n{\n", end) + 1;
            last = out.substr(begin, end + 3 - begin);
        }
    }
    kill(lumivex, SIGTERM);
    EXPECT_EQ(s_net->waitExit(lumivex, 5000), 0);
    ASSERT_TRUE(balancedJson(last)) << last;
    EXPECT_TRUE(showsAll(last)) << last;
    EXPECT_NE(last.find("\"events_dropped_ring_full\": 0"), std::string::npos) << last;
}

} // namespace
