// lumivex --service with its metrics endpoint, scraped by a real Prometheus server every
// second, while programs send known bytes to a test host: what Prometheus stores, how many
// series many remote hosts make, and what hostile clients of the endpoint get.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestNetwork.h"

namespace {

namespace fs = std::filesystem;

constexpr int kEchoPort = 7311;
// 1 000 datagrams of 972 bytes: 1 000 000 bytes at the IP level each way.
constexpr int kDatagrams = 1000;
constexpr int kPayload = 972;
constexpr double kIpBytes = kDatagrams * (kPayload + 28.0);

uint16_t freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(fd);
    return ntohs(a.sin_port);
}

int connectLoopback(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends request and reads one answer (its headers and Content-Length bytes); empty when the
// connection was refused or closed without one.
std::string roundTrip(uint16_t port, const std::string& request, int timeoutMs = 5000)
{
    const int fd = connectLoopback(port);
    if (fd < 0)
        return "";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string in;
    char buf[65536];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, timeoutMs) > 0) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        in.append(buf, size_t(n));
        const size_t end = in.find("\r\n\r\n");
        const size_t length = in.find("Content-Length: ");
        if (end != std::string::npos && length != std::string::npos &&
            in.size() >= end + 4 + std::strtoul(in.c_str() + length + 16, nullptr, 10))
            break;
    }
    ::close(fd);
    return in;
}

std::string httpGet(uint16_t port, const std::string& path)
{
    const std::string response =
        roundTrip(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    const size_t body = response.find("\r\n\r\n");
    return response.rfind("HTTP/1.1 200", 0) == 0 && body != std::string::npos ? response.substr(body + 4) : "";
}

std::string urlEncoded(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '_' || c == '.' || c == '-') {
            out += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// The value of a sample line "name{labels} value" of an exposition; -1 when absent.
double sampleValue(const std::string& exposition, const std::string& series)
{
    const size_t at = exposition.find("\n" + series + " ");
    return at == std::string::npos ? -1 : std::strtod(exposition.c_str() + at + series.size() + 2, nullptr);
}

size_t sampleLines(const std::string& exposition)
{
    size_t n = 0;
    std::istringstream in(exposition);
    for (std::string line; std::getline(in, line);)
        n += !line.empty() && line[0] != '#';
    return n;
}

// The counters of the stages a packet or event passes on its way to a count, by name. (The
// DNS listener's refusals and the owner lookups' misses are left out: traffic of tests
// running beside this one moves them.)
std::map<std::string, double> lossCounters(const std::string& exposition)
{
    std::map<std::string, double> counters;
    for (const char* name : {"kernel_drops", "interface_drops", "flow_map_full_packets", "events_dropped_ring_full",
                             "events_uncounted", "tcp_pool_failures", "udp_pool_failures", "worker_exceptions",
                             "queue_drops", "listener_socket_drops"}) {
        const std::string series = std::string("lumivex_") + name + "_total";
        counters[series] = sampleValue(exposition, series);
    }
    return counters;
}

class MetricsEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_net = new TestNetwork;
        std::string why;
        if (!s_net->create(why)) {
            s_skip = why;
            return;
        }
        s_prometheus = findProgram("prometheus");
        if (s_prometheus.empty()) {
            s_skip = "no prometheus program (scripts/setup.sh installs Debian's)";
            return;
        }
        if (s_net->spawnInside({peerProgram(), "udp-echo", std::to_string(kEchoPort)}) <= 0) {
            s_skip = "could not start the test host's echo";
            return;
        }
        // Senders of their own names, which no other program of a parallel test shares.
        s_scratch = fs::path(E2E_SCRATCH_DIR) / ("metrics-" + std::to_string(::getpid()));
        fs::create_directories(s_scratch);
        for (const char* which : {"a", "b"}) {
            const fs::path sender = s_scratch / ("lvx-sender-" + std::to_string(::getpid()) + which);
            fs::copy_file(peerProgram(), sender, fs::copy_options::overwrite_existing);
            s_senders.push_back(sender.string());
        }

        s_metricsPort = freePort();
        s_lumivex = s_net->spawnHere({LUMIVEX_PATH, "--service", "--metrics", "127.0.0.1:" + std::to_string(s_metricsPort)});
        s_promPort = freePort();
        std::ofstream(s_scratch / "prometheus.yml")
            << "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
            << "scrape_configs:\n  - job_name: lumivex\n    static_configs:\n      - targets: ['127.0.0.1:"
            << s_metricsPort << "']\n";
        s_net->spawnHere({s_prometheus, "--config.file=" + (s_scratch / "prometheus.yml").string(),
                          "--storage.tsdb.path=" + (s_scratch / "data").string(),
                          "--web.listen-address=127.0.0.1:" + std::to_string(s_promPort), "--log.level=error"});
    }

    static void TearDownTestSuite()
    {
        delete s_net;  // ends lumivex, Prometheus and the test host
        s_net = nullptr;
        if (!s_scratch.empty())
            fs::remove_all(s_scratch);
    }

    void SetUp() override
    {
        if (!s_skip.empty())
            GTEST_SKIP() << s_skip;
        ASSERT_TRUE(waitFor([] { return !scrape().empty(); }, 20000)) << "the metrics endpoint never answered";
        // Capture counts from here on: traffic of this program to the spare address shows.
        const std::string spare = "lumivex_remote_bytes_total{remote=\"" + s_net->spareAddr() + "\",direction=\"sent\"}";
        const int udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = TestNetwork::netOrder(s_net->spareAddr());
        to.sin_port = htons(9);
        const bool counting = waitFor([&] {
            ::sendto(udp, "w", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            return sampleValue(scrape(), spare) > 0;
        }, 20000);
        ::close(udp);
        ASSERT_TRUE(counting) << "lumivex never counted the warm-up traffic";
    }

    static std::string scrape() { return httpGet(s_metricsPort, "/metrics"); }

    // The value Prometheus answers for an instant query; -1 when it has none.
    static double query(const std::string& promql)
    {
        const std::string answer = httpGet(s_promPort, "/api/v1/query?query=" + urlEncoded(promql));
        const size_t value = answer.find("\"value\":[");
        const size_t quote = value == std::string::npos ? value : answer.find(",\"", value);
        return quote == std::string::npos ? -1 : std::strtod(answer.c_str() + quote + 2, nullptr);
    }

    // Sends the known datagrams from the named sender and waits for them to come back.
    static void sendKnownBytes(const std::string& sender)
    {
        const pid_t client = s_net->spawnHere({sender, "udp-client", s_net->peerAddr(), std::to_string(kEchoPort),
                                               std::to_string(kPayload), std::to_string(kDatagrams), "0"});
        ASSERT_GT(client, 0);
        ASSERT_EQ(s_net->waitExit(client, 20000), 0);
    }

    static std::string programSeries(const std::string& sender, const char* direction)
    {
        return "lumivex_program_bytes_total{program=\"" + fs::path(sender).filename().string() + "\",direction=\"" +
               direction + "\"}";
    }

    static std::string findProgram(const std::string& name)
    {
        for (const char* dir : {"/usr/bin", "/usr/local/bin", "/usr/sbin"})
            if (fs::exists(fs::path(dir) / name))
                return (fs::path(dir) / name).string();
        return "";
    }

    static TestNetwork* s_net;
    static std::string s_skip;
    static std::string s_prometheus;
    static fs::path s_scratch;
    static std::vector<std::string> s_senders;
    static uint16_t s_metricsPort;
    static uint16_t s_promPort;
    static pid_t s_lumivex;
};

TestNetwork* MetricsEndToEnd::s_net = nullptr;
std::string MetricsEndToEnd::s_skip;
std::string MetricsEndToEnd::s_prometheus;
fs::path MetricsEndToEnd::s_scratch;
std::vector<std::string> MetricsEndToEnd::s_senders;
uint16_t MetricsEndToEnd::s_metricsPort = 0;
uint16_t MetricsEndToEnd::s_promPort = 0;
pid_t MetricsEndToEnd::s_lumivex = -1;

TEST_F(MetricsEndToEnd, PrometheusStoresAProgramsSentBytes)
{
    sendKnownBytes(s_senders[0]);
    const std::string series = programSeries(s_senders[0], "sent");
    double stored = -1;
    EXPECT_TRUE(waitFor([&] { return (stored = query(series)) >= 0.99 * kIpBytes; }, 30000)) << stored;
    EXPECT_NEAR(stored, kIpBytes, 0.01 * kIpBytes);
    EXPECT_NEAR(query(programSeries(s_senders[0], "received")), kIpBytes, 0.01 * kIpBytes);
    // Every scrape was taken whole (OpenMetrics, as Prometheus asks for it).
    EXPECT_EQ(query("up{job=\"lumivex\"}"), 1);
}

// The text format passes promtool's checks.
TEST_F(MetricsEndToEnd, AScrapePassesPromtoolsChecks)
{
    const std::string promtool = findProgram("promtool");
    if (promtool.empty())
        GTEST_SKIP() << "no promtool (Debian's prometheus package, which scripts/setup.sh installs)";
    const fs::path file = s_scratch / "scrape.prom";
    std::ofstream(file) << scrape();
    const fs::path out = s_scratch / "promtool.out";
    const int status =
        std::system((promtool + " check metrics < " + file.string() + " > " + out.string() + " 2>&1").c_str());
    std::ifstream in(out);
    std::stringstream said;
    said << in.rdbuf();
    EXPECT_EQ(status, 0) << said.str();
    EXPECT_EQ(said.str(), "");
}

// The Grafana dashboard's queries, with Grafana's variables as it fills them in, are ones
// Prometheus evaluates: a query it refuses would leave its panel empty on every machine.
TEST_F(MetricsEndToEnd, EveryDashboardQueryEvaluates)
{
    std::ifstream in(LUMIVEX_DASHBOARD);
    ASSERT_TRUE(in) << LUMIVEX_DASHBOARD;
    std::stringstream text;
    text << in.rdbuf();
    const std::string json = text.str();
    const auto replaceAll = [](std::string s, const std::string& from, const std::string& to) {
        for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
            s.replace(at, from.size(), to);
        return s;
    };
    // Samples of two scrapes, so that rates have something to work on.
    ASSERT_TRUE(waitFor([] { return query("count_over_time(lumivex_info[1m])") >= 2; }, 10000));
    int queries = 0;
    for (size_t at = 0; (at = json.find("\"expr\": \"", at)) != std::string::npos;) {
        std::string expr;
        for (at += 9; at < json.size() && json[at] != '"'; ++at) {
            if (json[at] == '\\' && at + 1 < json.size())
                ++at;  // \" and \\ are all the dashboard's escapes
            expr += json[at];
        }
        for (const auto& [variable, value] : {std::pair<std::string, std::string>{"$instance", ".+"},
                                              {"$__rate_interval", "5s"},
                                              {"$__range", "1m"},
                                              {"$__interval", "1s"}})
            expr = replaceAll(expr, variable, value);
        const std::string answer = httpGet(s_promPort, "/api/v1/query?query=" + urlEncoded(expr));
        EXPECT_NE(answer.find("\"status\":\"success\""), std::string::npos) << expr << "\n" << answer;
        ++queries;
    }
    EXPECT_GE(queries, 8);
}

TEST_F(MetricsEndToEnd, FiveThousandRemoteAddressesMakeFewerThanTwoThousandSeries)
{
    // A /18 beyond the test host, routed to it (it drops what it gets); one datagram to each
    // of 5 000 of its addresses.
    const int block = ::getpid() % 128;
    const std::string base = "10." + std::to_string(224 + block / 4) + "." + std::to_string(block % 4 * 64) + ".";
    ASSERT_EQ(std::system(("ip route add " + base + "0/18 via " + s_net->peerAddr() + " dev " +
                           s_net->hostInterface() + " >/dev/null 2>&1").c_str()),
              0);
    const uint32_t first = ntohl(TestNetwork::netOrder(base + "0"));
    const int udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    for (uint32_t i = 1; i <= 5000; ++i) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(first + i);
        to.sin_port = htons(9);
        ::sendto(udp, "x", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    ::close(udp);
    std::string exposition;
    EXPECT_TRUE(waitFor([&] { return sampleValue(exposition = scrape(), "lumivex_remote_addresses") >= 5000; }, 20000))
        << sampleValue(exposition, "lumivex_remote_addresses");
    EXPECT_LT(sampleLines(exposition), 2000u);
    std::printf("exposition: %zu series with 5000 remote addresses\n", sampleLines(exposition));
    EXPECT_GT(sampleValue(exposition, "lumivex_remote_bytes_total{remote=\"other\",direction=\"sent\"}"), 0);
    // And in what Prometheus keeps of the job.
    EXPECT_TRUE(waitFor([] { return query("lumivex_remote_addresses") >= 5000; }, 10000));
    EXPECT_LT(query("count({job=\"lumivex\"})"), 2000);
    std::system(("ip route del " + base + "0/18 >/dev/null 2>&1").c_str());
}

TEST_F(MetricsEndToEnd, HostileRequestsAreRefusedWhileCaptureGoesOnLosingNothing)
{
    const std::map<std::string, double> lossesBefore = lossCounters(scrape());
    for (const auto& [name, value] : lossesBefore)
        ASSERT_GE(value, 0) << name << " is not exposed";

    // 1 000 connections held open, a 1 MB request line, a path out of /metrics, other methods.
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::max<rlim_t>(files.rlim_cur, std::min<rlim_t>(files.rlim_max, 4096));
    ::setrlimit(RLIMIT_NOFILE, &files);
    std::vector<int> held;
    for (int i = 0; i < 1000; ++i)
        held.push_back(connectLoopback(s_metricsPort));

    sendKnownBytes(s_senders[1]);  // while they are held

    // Connections beyond what the endpoint takes from one address are closed as they come; the
    // few it took go when idle.
    int closed = 0;
    for (int fd : held) {
        pollfd p{fd, POLLIN, 0};
        char c;
        closed += fd < 0 || (::poll(&p, 1, 0) > 0 && ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0);
    }
    EXPECT_GE(closed, 990);
    for (int fd : held)
        if (fd >= 0)
            ::close(fd);
    ASSERT_TRUE(waitFor([] { return !scrape().empty(); }, 5000));
    const std::string huge =
        roundTrip(s_metricsPort, "GET /" + std::string(1 << 20, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(huge.empty() || huge.rfind("HTTP/1.1 414", 0) == 0 || huge.rfind("HTTP/1.1 431", 0) == 0)
        << huge.substr(0, 80);
    const std::string dotted = roundTrip(s_metricsPort, "GET /metrics/../../etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(dotted.rfind("HTTP/1.1 404", 0), 0u) << dotted.substr(0, 80);
    const std::string posted = roundTrip(s_metricsPort, "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(posted.rfind("HTTP/1.1 405", 0), 0u) << posted.substr(0, 80);

    // The capture went on: the sender's bytes all counted, no stage lost anything.
    std::string exposition;
    EXPECT_TRUE(waitFor([&] { return sampleValue(exposition = scrape(), programSeries(s_senders[1], "sent")) >= kIpBytes; },
                        20000));
    EXPECT_EQ(sampleValue(exposition, programSeries(s_senders[1], "sent")), kIpBytes);
    EXPECT_EQ(sampleValue(exposition, programSeries(s_senders[1], "received")), kIpBytes);
    EXPECT_EQ(lossCounters(exposition), lossesBefore);
}

} // namespace
