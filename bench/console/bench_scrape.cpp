// One metrics scrape of a busy machine: 300 programs (a fifth of them ended and folded) and
// 50 remote hosts among 400 addresses. Target: under 2 ms of processor time per scrape, all
// of it: turning a sample's report into the exposition (once a second), rendering it, and
// serving it over a loopback connection (BM_ScrapeOverHttp, the whole process's time).
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "Exposition.h"
#include "MetricsServer.h"
#include "platform/ByteOrder.h"
#include "platform/SelfUsage.h"

namespace {

Report busyReport(uint64_t grow)
{
    Report r;
    r.version = "0.1.0";
    r.eventSource = "ebpf";
    r.engine.capturing = true;
    for (uint32_t pid = 1; pid <= 300; ++pid) {
        XProcessRow row;
        row.pid = 1000 + pid;
        row.name = "program-" + std::to_string(pid % 240);  // 60 names also have an ended row
        row.ended = pid > 240;
        row.received = pid * 100000 + grow;
        row.sent = pid * 20000 + grow;
        row.packetsReceived = row.received / 1400;
        row.packetsSent = row.sent / 1400;
        row.read = pid * 4096;
        row.written = pid * 8192;
        r.processes.push_back(row);
    }
    TrafficTable tcp{"tcp", {}}, udp{"udp", {}};
    for (uint32_t i = 0; i < 400; ++i) {
        TrafficRow row;
        row.address = platform::dottedIpv4(0x5DB80000 + i);
        row.dnsName = i < 50 ? "host-" + std::to_string(i) + ".example.org" : "";
        row.bytesReceived = (i < 50 ? 5000000.0 : 1000.0) * (i + 1) + double(grow);
        row.bytesSent = row.bytesReceived / 10;
        row.program = "program-" + std::to_string(i % 240);
        (i % 3 ? tcp : udp).rows.push_back(row);
    }
    r.tables = {tcp, udp, {"chat", {}}};
    return r;
}

void BM_BuildExposition(benchmark::State& state)
{
    ExpositionBuilder builder({});
    uint64_t grow = 0;
    platform::SelfUsage self;
    for (auto _ : state) {
        state.PauseTiming();
        const Report report = busyReport(grow += 1000);
        state.ResumeTiming();
        platform::readSelfUsage(self);
        benchmark::DoNotOptimize(builder.build(report, &self));
    }
}
BENCHMARK(BM_BuildExposition)->Unit(benchmark::kMicrosecond);

void BM_Render(benchmark::State& state)
{
    ExpositionBuilder builder({});
    const Exposition e = builder.build(busyReport(0), nullptr);
    const auto format = state.range(0) ? ExpositionFormat::kOpenMetrics : ExpositionFormat::kPrometheus;
    size_t bytes = 0;
    for (auto _ : state)
        bytes = renderExposition(e, format).size();
    state.counters["body_KB"] = double(bytes) / 1024;
    state.counters["series"] = double(e.series());
}
BENCHMARK(BM_Render)->Arg(0)->Arg(1)->ArgNames({"openmetrics"})->Unit(benchmark::kMicrosecond);

std::string get(int fd)
{
    static const std::string request =
        "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: application/openmetrics-text;version=1.0.0\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string in;
    char buf[65536];
    size_t want = std::string::npos;
    while (in.size() < want) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        in.append(buf, size_t(n));
        const size_t end = in.find("\r\n\r\n");
        const size_t length = in.find("Content-Length: ");
        if (want == std::string::npos && end != std::string::npos && length != std::string::npos)
            want = end + 4 + std::stoul(in.substr(length + 16));
    }
    return in;
}

// A sample published, then scraped by a client holding its connection, as Prometheus does:
// the report turned into the exposition, rendered once, sent. Processor time of the whole
// process, the server's thread included.
void BM_ScrapeOverHttp(benchmark::State& state)
{
    MetricsServer server;
    std::string error;
    if (!server.start(MetricsEndpoint{}, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server.port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ExpositionBuilder builder({});
    uint64_t grow = 0;
    size_t bytes = 0;
    platform::SelfUsage self;
    for (auto _ : state) {
        state.PauseTiming();
        const Report report = busyReport(grow += 1000);
        state.ResumeTiming();
        platform::readSelfUsage(self);
        server.publish(std::make_shared<const Exposition>(builder.build(report, &self)));
        bytes = get(fd).size();
    }
    ::close(fd);
    state.counters["response_KB"] = double(bytes) / 1024;
}
BENCHMARK(BM_ScrapeOverHttp)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
