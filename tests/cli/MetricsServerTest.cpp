// The metrics endpoint over real loopback connections: what it answers, and what it refuses.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "MetricsServer.h"

namespace {

int connectTo(uint16_t port)
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

// Reads until one whole response (headers and Content-Length bytes) is in, the peer closes,
// or timeoutMs passes.
std::string readResponse(int fd, int timeoutMs = 3000)
{
    std::string in;
    for (;;) {
        const size_t end = in.find("\r\n\r\n");
        if (end != std::string::npos) {
            const size_t length = in.find("Content-Length: ");
            if (length != std::string::npos && in.size() >= end + 4 + std::stoul(in.substr(length + 16)))
                return in;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return in;
        char buf[65536];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return in;
        in.append(buf, size_t(n));
    }
}

bool sendText(int fd, const std::string& text)
{
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
}

std::string request(uint16_t port, const std::string& text)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return "";
    sendText(fd, text);
    const std::string response = readResponse(fd);
    ::close(fd);
    return response;
}

std::string get(const std::string& path, const std::string& headers = "")
{
    return "GET " + path + " HTTP/1.1\r\nHost: localhost\r\n" + headers + "\r\n";
}

// True when the server has closed fd (or reset it) within timeoutMs.
bool closedByServer(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return false;
    char c;
    return ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0;
}

std::shared_ptr<const Exposition> sample()
{
    auto e = std::make_shared<Exposition>();
    MetricFamily f;
    f.name = "lumivex_kernel_drops";
    f.type = MetricFamily::kCounter;
    f.help = "packets the capture dropped in the kernel";
    f.samples.push_back({"", 3});
    e->families.push_back(f);
    return e;
}

class MetricsServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MetricsEndpoint loopback;  // 127.0.0.1, any free port
        MetricsServer::Limits limits;
        limits.perAddress = 4;
        limits.idleSeconds = 1;
        std::string error;
        ASSERT_TRUE(m_server.start(loopback, error, limits)) << error;
        m_port = m_server.port();
        ASSERT_NE(m_port, 0);
    }

    MetricsServer m_server;
    uint16_t m_port = 0;
};

TEST_F(MetricsServerTest, AnswersGetMetricsInTheFormatAskedForAndNothingElse)
{
    EXPECT_EQ(request(m_port, get("/metrics")).rfind("HTTP/1.1 503", 0), 0u);  // no sample yet
    m_server.publish(sample());

    // Two scrapes on one connection: the first in the text format, the second in OpenMetrics.
    const int fd = connectTo(m_port);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(sendText(fd, get("/metrics")));
    const std::string text = readResponse(fd);
    EXPECT_EQ(text.rfind("HTTP/1.1 200", 0), 0u) << text;
    EXPECT_NE(text.find("Content-Type: text/plain; version=0.0.4"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n\r\n# HELP lumivex_kernel_drops_total "), std::string::npos) << text;
    ASSERT_TRUE(sendText(fd, get("/metrics", "Accept: application/openmetrics-text;version=1.0.0\r\n")));
    const std::string open = readResponse(fd);
    EXPECT_NE(open.find("Content-Type: application/openmetrics-text; version=1.0.0"), std::string::npos) << open;
    EXPECT_NE(open.find("lumivex_kernel_drops_total 3\n# EOF\n"), std::string::npos) << open;
    ::close(fd);

    for (const char* path : {"/", "/metrics/", "/metrics/../metrics", "/../../etc/passwd", "/metrics%2f..%2f"})
        EXPECT_EQ(request(m_port, get(path)).rfind("HTTP/1.1 404", 0), 0u) << path;
    for (const char* method : {"POST", "HEAD", "PUT", "DELETE"}) {
        const std::string r = request(m_port, std::string(method) + " /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
        EXPECT_EQ(r.rfind("HTTP/1.1 405", 0), 0u) << method << ": " << r;
        EXPECT_NE(r.find("Allow: GET"), std::string::npos) << r;
    }
    EXPECT_EQ(request(m_port, get("/metrics", "Content-Length: 5\r\n") + "hello").rfind("HTTP/1.1 400", 0), 0u);
}

TEST_F(MetricsServerTest, OversizedRequestsAndTooManyOrIdleConnectionsAreRefused)
{
    m_server.publish(sample());
    // A request line of 1 MB: refused (414) or cut off, never read whole.
    const std::string huge = request(m_port, "GET /" + std::string(1 << 20, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(huge.empty() || huge.rfind("HTTP/1.1 414", 0) == 0 || huge.rfind("HTTP/1.1 431", 0) == 0) << huge.substr(0, 100);

    // Connections held open from one address beyond its share are closed as they come.
    std::vector<int> held;
    for (int i = 0; i < 50; ++i)
        held.push_back(connectTo(m_port));
    int closed = 0;
    for (int fd : held)
        closed += fd < 0 || closedByServer(fd, 200);
    EXPECT_GE(closed, 50 - 4);
    for (int fd : held)
        if (fd >= 0)
            ::close(fd);
    // One that sends nothing goes when it has been idle too long.
    const int idle = connectTo(m_port);
    ASSERT_GE(idle, 0);
    EXPECT_TRUE(closedByServer(idle, 5000));
    ::close(idle);
    // And the endpoint still answers.
    EXPECT_EQ(request(m_port, get("/metrics")).rfind("HTTP/1.1 200", 0), 0u);
}

} // namespace
