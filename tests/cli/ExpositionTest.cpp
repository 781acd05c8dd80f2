// The metrics exposition: its two formats against golden files in tests/data/cli/ (regenerate
// with LUMIVEX_UPDATE_GOLDEN=1), and the bounded label sets whose counters never go back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "Exposition.h"
#include "TopCounters.h"
#include "platform/ByteOrder.h"
#include "platform/SelfUsage.h"

namespace {

void expectGolden(const std::string& actual, const std::string& file)
{
    const std::string path = std::string(LUMIVEX_TEST_DATA) + "/cli/" + file;
    if (std::getenv("LUMIVEX_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << path;
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(actual, expected.str()) << "differs from " << path;
}

XProcessRow process(uint32_t pid, const std::string& name, uint64_t received, uint64_t sent, bool ended = false)
{
    XProcessRow row;
    row.pid = pid;
    row.name = name;
    row.received = received;
    row.sent = sent;
    row.packetsReceived = received / 1000;
    row.packetsSent = sent / 1000;
    row.ended = ended;
    return row;
}

Report fixedReport()
{
    Report r;
    r.version = "1.2.3";
    r.eventSource = "pcap: no CAP_BPF";
    r.engine.capturing = true;
    r.engine.kernelDrops = 2;
    r.engine.flowsUnowned = 5;
    r.engine.packetsSeen = 834;  // throughput: not a metric
    r.history.role = "writer";
    r.history.counters = {{"history_flushes", 3, false, "transactions written"},
                          {"history_buckets_dropped", 1, true, "buckets lost"}};
    TrafficRow web{"93.184.216.34", 443, "www.example.org", "", 15360, 1048576, 20, 800, 0.5, "firefox", ""};
    TrafficRow dns{"10.0.0.53", 53, "", "", 300, 900, 4, 4, 3.25, "", ""};
    TrafficRow odd{"203.0.113.9", 8080, "a\"b\\c", "", 1, 2, 1, 1, 12, "", ""};
    r.tables = {{"tcp", {web, odd}}, {"udp", {dns}}, {"chat", {web}}};
    XProcessRow disk = process(7, "", 0, 0);
    disk.written = 100;
    // Two firefox processes, one ended, make one program; a name with a quote, a line feed
    // and an escape character stays one label value.
    r.processes = {process(4242, "firefox", 1048576, 15360), process(4000, "firefox", 2000, 1000, true),
                   process(99, "we\"ird\n\x1b", 3000, 3000), disk};
    return r;
}

platform::SelfUsage fixedSelf()
{
    platform::SelfUsage self;
    self.cpuSeconds = 1.25;
    self.residentBytes = 30 << 20;
    self.virtualBytes = 400 << 20;
    self.startTimeSeconds = 1700000000.5;
    self.openFiles = 12;
    self.maxFiles = 1024;
    return self;
}

TEST(Exposition, BothFormatsMatchTheGoldenFiles)
{
    ExpositionBuilder builder({});
    const platform::SelfUsage self = fixedSelf();
    const Exposition e = builder.build(fixedReport(), &self);
    expectGolden(renderExposition(e, ExpositionFormat::kPrometheus), "metrics.prom");
    expectGolden(renderExposition(e, ExpositionFormat::kOpenMetrics), "metrics.openmetrics");
    EXPECT_EQ(expositionFormatFor("application/openmetrics-text;version=1.0.0,text/plain;q=0.5"),
              ExpositionFormat::kOpenMetrics);
    EXPECT_EQ(expositionFormatFor("text/plain"), ExpositionFormat::kPrometheus);
    EXPECT_EQ(expositionFormatFor(nullptr), ExpositionFormat::kPrometheus);
}

// Follows every series of several updates: none may go back, and the series of an update
// always sum to what the keys hold.
class SeriesWatch {
public:
    void check(const TopCounters<2>::Result& r, double keysSum)
    {
        double sum = r.other[0] + r.other[1];
        expectNotBelow("other", r.other);
        for (const auto& s : r.series) {
            sum += s.value[0] + s.value[1];
            expectNotBelow(s.label, s.value);
        }
        EXPECT_NEAR(sum, keysSum, 1e-6 * keysSum);
    }

private:
    void expectNotBelow(const std::string& label, const TopCounters<2>::Values& v)
    {
        auto [last, fresh] = m_last.try_emplace(label, v);
        if (!fresh) {
            EXPECT_GE(v[0], last->second[0]) << label;
            EXPECT_GE(v[1], last->second[1]) << label;
        }
        last->second = v;
    }
    std::map<std::string, TopCounters<2>::Values> m_last;
};

TEST(TopCounters, CountersNeverGoBackWhileKeysChangePlaces)
{
    // Keys that grow at changing rates, arrive late, and overtake each other.
    TopCounters<2> top(5);
    SeriesWatch watch;
    std::mt19937 random(7);
    std::map<std::string, TopCounters<2>::Values> keys;
    for (int step = 0; step < 300; ++step) {
        if (step % 10 == 0)
            keys["k" + std::to_string(step / 10)] = {0, 0};
        for (auto& [key, v] : keys) {
            v[0] += double(random() % 1000);
            v[1] += double(random() % (step % 50 < 25 ? 10 : 3000));
        }
        std::vector<TopCounters<2>::Entry> entries;
        double sum = 0;
        for (const auto& [key, v] : keys) {
            entries.push_back({key, key, v[0] + v[1], v});
            sum += v[0] + v[1];
        }
        const TopCounters<2>::Result r = top.update(entries);
        EXPECT_LE(r.series.size(), 5u);
        watch.check(r, sum);
    }
}

TEST(TopCounters, AKeyNewSinceTheLastUpdateBringsAllItHasAndAReturningOneStartsAfresh)
{
    TopCounters<2> top(1);
    TopCounters<2>::Result r = top.update({{"a", "a", 10, {10, 0}}});
    ASSERT_EQ(r.series.size(), 1u);
    EXPECT_EQ(r.series[0].value[0], 10);  // first seen while there was room: everything is its own

    // b grows past a: a stays (it still ranks within twice the limit), b is in "other".
    r = top.update({{"a", "a", 11, {11, 0}}, {"b", "b", 50, {50, 0}}});
    ASSERT_EQ(r.series.size(), 1u);
    EXPECT_EQ(r.series[0].label, "a");
    EXPECT_EQ(r.other[0], 50);
    // c and d push a out of the busiest two: it hands its series back to "other", and b,
    // the busiest, joins from "other" with none of its past.
    r = top.update({{"a", "a", 12, {12, 0}}, {"b", "b", 60, {60, 0}}, {"c", "c", 40, {40, 0}}, {"d", "d", 30, {30, 0}}});
    ASSERT_EQ(r.series.size(), 1u);
    EXPECT_EQ(r.series[0].label, "b");
    EXPECT_EQ(r.series[0].value[0], 10);
    EXPECT_EQ(r.other[0], 12 + 50 + 40 + 30);
}

TEST(Exposition, LabelSetsStayBoundedWhateverTheTraffic)
{
    // 5 000 remote addresses, half of them named alike, and 1 000 programs.
    Report r;
    TrafficTable udp{"udp", {}};
    double remoteBytes = 0;
    for (uint32_t i = 0; i < 5000; ++i) {
        TrafficRow row;
        row.address = platform::dottedIpv4(0x0A000000 + i);
        row.dnsName = i % 2 ? "cdn.example" : "";
        row.bytesSent = 100 + i;
        row.bytesReceived = 7;
        remoteBytes += row.bytesSent + row.bytesReceived;
        udp.rows.push_back(row);
    }
    r.tables = {{"tcp", {}}, udp};
    for (uint32_t pid = 1; pid <= 1000; ++pid)
        r.processes.push_back(process(pid, "job" + std::to_string(pid), pid, pid));
    ExpositionBuilder builder({});
    const Exposition e = builder.build(r, nullptr);
    EXPECT_LT(e.series(), 2000u);

    double exposed = 0;
    size_t remoteSeries = 0;
    for (const MetricFamily& f : e.families) {
        if (f.name != "lumivex_remote_bytes")
            continue;
        remoteSeries = f.samples.size();
        for (const MetricFamily::Sample& s : f.samples)
            exposed += s.value;
    }
    EXPECT_LE(remoteSeries, 2 * (50 + 1));
    EXPECT_DOUBLE_EQ(exposed, remoteBytes);
}

} // namespace
