// The lasting history as a user meets it: `lumivex` records while programs exchange known
// bytes with a test host, and `lumivex history --json` must show them under each program and
// host, within 1 % of what crossed the wire; across runs, after a kill -9 a minute after the
// traffic, and for 200 programs that live a few milliseconds each; with the disk bytes of a
// program that ended before the run did. The database passes its integrity check after each.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestNetwork.h"
#include "WireTally.h"

namespace {

constexpr int kTcpPort = 7411;
constexpr int kUdpPort = 7412;
constexpr int kClosedPort = 7419;
constexpr char kTcpProgram[] = "lvx-hist-tcp";
constexpr char kUdpProgram[] = "lvx-hist-udp";
constexpr char kBriefProgram[] = "lvx-hist-brief";
constexpr char kDiskProgram[] = "lvx-hist-disk";

class HistoryEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root (network namespaces, capture)";
        std::string why;
        if (!m_net.create(why))
            GTEST_SKIP() << "no test network: " << why;
        // The capture counts each segment's headers; the tally must see the same segments.
        ASSERT_TRUE(m_net.segmentLikeAWire());
        ASSERT_GT(m_net.spawnInside({peerProgram(), "tcp-server", std::to_string(kTcpPort), "20000"}), 0);
        ASSERT_GT(m_net.spawnInside({peerProgram(), "udp-echo", std::to_string(kUdpPort)}), 0);
        m_dir = std::string(E2E_SCRATCH_DIR) + "/history-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        for (const char* name : {kTcpProgram, kUdpProgram, kBriefProgram, kDiskProgram})
            std::filesystem::copy_file(peerProgram(), m_dir + "/" + name);
        m_db = m_dir + "/history.sqlite";
        // Only the test's own ports: a program of an earlier test still talking to the same
        // addresses (a browser's late QUIC packets) is no part of what is recorded here.
        ASSERT_TRUE(m_wire.open(m_net.hostInterface(), TestNetwork::netOrder(m_net.hostAddr()),
                                "(host " + m_net.peerAddr() + " or host " + m_net.secondPeerAddr() + ") and (port " +
                                    std::to_string(kTcpPort) + " or port " + std::to_string(kUdpPort) + ")"));
    }

    void TearDown() override
    {
        if (!IsSkipped() && std::filesystem::exists(m_db))
            expectSoundDatabase();
        // A failed case leaves its folder (database, log) to look at.
        std::error_code ignored;
        if (!m_dir.empty() && !HasFailure())
            std::filesystem::remove_all(m_dir, ignored);
    }

    // Starts `lumivex` recording into the test's database, writing what it counted every
    // second, and returns once what it counts reaches the database: traffic of this test
    // program to a closed port of the spare address is sent until a history query shows it.
    pid_t startRecording()
    {
        const pid_t pid = spawnRecorder({"--history-flush", "1"});
        const uint64_t before = recorded("", m_net.spareAddr());
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = TestNetwork::netOrder(m_net.spareAddr());
        to.sin_port = htons(kClosedPort);
        const int udp = socket(AF_INET, SOCK_DGRAM, 0);
        const bool ready = waitFor([&] {
            sendto(udp, "w", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return recorded("", m_net.spareAddr()) > before;
        }, 15000);
        close(udp);
        EXPECT_TRUE(ready) << "the recording never reached the database; log:\n" << log();
        return pid;
    }

    pid_t spawnRecorder(const std::vector<std::string>& extra)
    {
        std::vector<std::string> argv{LUMIVEX_PATH, "--seconds", "600", "--json", "--history", m_db,
                                      "--log", m_dir + "/lumivex.log"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        const pid_t pid = m_net.spawnHere(argv);
        EXPECT_GT(pid, 0);
        return pid;
    }

    // Ends a recording the way a service manager does; its exit status.
    int stopRecording(pid_t pid)
    {
        kill(pid, SIGTERM);
        m_lastReport = m_net.readOutput(pid, 10000);
        std::ofstream(m_dir + "/report.json") << m_lastReport;
        return m_net.waitExit(pid, 10000);
    }

    // The bytes `lumivex history --json --since 1h` shows under program (any, when empty) and
    // the host; 0 when it has no row.
    uint64_t recorded(const std::string& program, const std::string& host)
    {
        std::vector<std::string> argv{LUMIVEX_PATH, "history", "--json", "--since", "1h", "--history", m_db,
                                      "--host", host, "--by", "program"};
        if (!program.empty())
            argv.insert(argv.end(), {"--program", program});
        const pid_t pid = m_net.spawnHere(argv);
        const std::string out = m_net.readOutput(pid, 10000);
        if (m_net.waitExit(pid, 10000) != 0)
            return 0;
        // Program rows: their own usage comes before the list of their hosts.
        uint64_t sum = 0;
        static const std::regex row(R"(\{"program": "[^"]*", "path": "[^"]*", "other_programs": (?:true|false), "received": \d+, "sent": \d+, "total": (\d+))");
        for (auto it = std::sregex_iterator(out.begin(), out.end(), row); it != std::sregex_iterator(); ++it)
            sum += std::stoull((*it)[1].str());
        return sum;
    }

    // What `lumivex history --json --since 1h` shows a program wrote to disk.
    uint64_t diskWritten(const std::string& program)
    {
        const pid_t pid = m_net.spawnHere({LUMIVEX_PATH, "history", "--json", "--since", "1h", "--history", m_db,
                                           "--by", "program", "--program", program});
        const std::string out = m_net.readOutput(pid, 10000);
        if (m_net.waitExit(pid, 10000) != 0)
            return 0;
        std::smatch written;
        static const std::regex field(R"("disk_written": (\d+))");
        return std::regex_search(out, written, field) ? std::stoull(written[1].str()) : 0;
    }

    // Runs one client program to its end.
    void run(const char* program, const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{m_dir + "/" + program};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = m_net.spawnHere(argv);
        const std::string out = m_net.readOutput(pid, 10000);
        EXPECT_EQ(m_net.waitExit(pid, 10000), 0) << out;
    }

    void exchange()
    {
        run(kTcpProgram, {"tcp-client", m_net.peerAddr(), std::to_string(kTcpPort), "300000", "0"});
        run(kUdpProgram, {"udp-client", m_net.peerAddr(), std::to_string(kUdpPort), "700", "40", "0"});
    }

    // What the wire carried of a protocol, the tally taken in first.
    uint64_t wire(uint8_t protocol)
    {
        m_wire.drain();
        return m_wire.bytes(protocol);
    }

    std::string log() const
    {
        std::ifstream in(m_dir + "/lumivex.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The database's own check and its journal mode.
    void expectSoundDatabase()
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(m_db.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        const auto one = [&](const char* sql) {
            sqlite3_stmt* st = nullptr;
            std::string value;
            if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
                value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            sqlite3_finalize(st);
            return value;
        };
        EXPECT_EQ(one("PRAGMA integrity_check"), "ok");
        EXPECT_EQ(one("PRAGMA journal_mode"), "wal");
        sqlite3_close(db);
    }

    static void expectNear(uint64_t shown, uint64_t wire, const char* what)
    {
        EXPECT_GT(wire, 0u) << what;
        EXPECT_NEAR(double(shown), double(wire), double(wire) / 100) << what << ": history " << shown << ", wire " << wire;
    }

    TestNetwork m_net;
    WireTally m_wire;
    std::string m_dir;
    std::string m_db;
    std::string m_lastReport;
};

TEST_F(HistoryEndToEnd, EachRunAddsWhatCrossedTheWireUnderProgramAndHost)
{
    pid_t lumivex = startRecording();
    exchange();
    ASSERT_EQ(stopRecording(lumivex), 0) << log();
    EXPECT_NE(m_lastReport.find("\"state\": \"recording\""), std::string::npos) << m_lastReport;
    expectNear(recorded(kTcpProgram, m_net.peerAddr()), wire(IPPROTO_TCP), "TCP, first run");
    expectNear(recorded(kUdpProgram, m_net.peerAddr()), wire(IPPROTO_UDP), "UDP, first run");
    expectSoundDatabase();

    lumivex = startRecording();
    exchange();
    ASSERT_EQ(stopRecording(lumivex), 0) << log();
    expectNear(recorded(kTcpProgram, m_net.peerAddr()), wire(IPPROTO_TCP), "TCP, both runs");
    expectNear(recorded(kUdpProgram, m_net.peerAddr()), wire(IPPROTO_UDP), "UDP, both runs");
    // None of it under the other address of the test host.
    EXPECT_EQ(recorded(kTcpProgram, m_net.secondPeerAddr()), 0u);
}

// With the default flush interval (a minute) a run killed more than a minute after the
// traffic has written all of it, though it never got to stop.
TEST_F(HistoryEndToEnd, AKilledRunKeepsWhatItFlushedAndASecondRecorderStandsAside)
{
    const pid_t lumivex = spawnRecorder({});
    // The database is opened and locked once the engine runs.
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(m_db); }, 15000)) << log();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    exchange();
    const auto trafficEnded = std::chrono::steady_clock::now();
    const uint64_t tcp = wire(IPPROTO_TCP);

    // Meanwhile a second run on the same database records nothing and says why.
    const pid_t second = m_net.spawnHere({LUMIVEX_PATH, "--seconds", "2", "--json", "--history", m_db});
    const std::string report = m_net.readOutput(second, 15000);
    EXPECT_EQ(m_net.waitExit(second, 10000), 0);
    EXPECT_NE(report.find("\"state\": \"another process records\""), std::string::npos) << report;

    std::this_thread::sleep_until(trafficEnded + std::chrono::seconds(62));
    kill(lumivex, SIGKILL);
    m_net.waitExit(lumivex, 10000);
    expectNear(recorded(kTcpProgram, m_net.peerAddr()), tcp, "TCP after kill -9");
    expectNear(recorded(kUdpProgram, m_net.peerAddr()), wire(IPPROTO_UDP), "UDP after kill -9");
    expectSoundDatabase();

    // The dead run's lock went with it: the next run records again.
    const pid_t next = startRecording();
    exchange();
    ASSERT_EQ(stopRecording(next), 0) << log();
    expectNear(recorded(kTcpProgram, m_net.peerAddr()), wire(IPPROTO_TCP), "TCP after the next run");
}

// A program that writes and ends between two rounds of the disk sampling (every 30 s in a
// run that reprints nothing) is counted whole from its exit, under its name.
TEST_F(HistoryEndToEnd, TheDiskBytesOfAnEndedProgramAreRecorded)
{
    const pid_t lumivex = startRecording();
    const uint64_t bytes = 4u << 20;
    run(kDiskProgram, {"write-file", m_dir + "/written.bin", std::to_string(bytes), "0"});
    // The kernel frees a reaped process after an RCU grace period.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(stopRecording(lumivex), 0) << log();
    if (m_lastReport.find("\"event_source\": \"ebpf") == std::string::npos)
        GTEST_SKIP() << "only the eBPF source learns the totals of processes as they end";
    const uint64_t written = diskWritten(kDiskProgram);
    EXPECT_GE(written, bytes);
    EXPECT_LT(written, bytes + (1u << 20));
}

TEST_F(HistoryEndToEnd, TwoHundredShortLivedProgramsAreRecordedUnderTheirName)
{
    const pid_t lumivex = startRecording();
    // 200 programs in about two seconds, 20 at a time.
    for (int i = 0; i < 200; i += 20) {
        std::vector<pid_t> group;
        for (int k = 0; k < 20; ++k)
            group.push_back(m_net.spawnHere({m_dir + "/" + kBriefProgram, "tcp-client", m_net.secondPeerAddr(),
                                             std::to_string(kTcpPort), "1000", "1"}));
        for (const pid_t pid : group) {
            m_net.readOutput(pid, 10000);
            EXPECT_EQ(m_net.waitExit(pid, 10000), 0);
        }
    }
    ASSERT_EQ(stopRecording(lumivex), 0) << log();
    const uint64_t shown = recorded(kBriefProgram, m_net.secondPeerAddr());
    std::printf("200 programs of about 1 ms: history %llu bytes, wire %llu bytes\n", (unsigned long long)shown,
                (unsigned long long)wire(IPPROTO_TCP));
    expectNear(shown, wire(IPPROTO_TCP), "200 short-lived programs");
    EXPECT_EQ(recorded("", m_net.secondPeerAddr()), shown) << "bytes of the programs under another name";
}

} // namespace
