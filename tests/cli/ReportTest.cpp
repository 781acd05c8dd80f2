// The console front end's text and JSON output for a fixed report, against golden files in
// tests/data/cli/. To accept a deliberate change of the output, regenerate them with
// LUMIVEX_UPDATE_GOLDEN=1.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "Report.h"

namespace {

Report fixedReport()
{
    Report r;
    r.elapsedSeconds = 10.2;
    r.privileged = true;
    r.eventSource = "pcap";
    TrafficRow web{"93.184.216.34", 443, "www.example.org", "美国", 15360, 1048576, 20, 800, 0.5, "firefox-bin"};
    TrafficRow dns{"10.0.0.53", 53, "", "局域网", 300, 900, 4, 4, 3.25, ""};
    TrafficRow quote{"203.0.113.9", 8080, "a\"b\\c", "", 1, 2, 1, 1, 12, "we\"ird"};
    r.tables = {{"tcp", {web, quote}}, {"udp", {dns}}, {"chat", {}}};
    XProcessRow firefox;
    firefox.pid = 4242;
    firefox.name = "firefox-bin";
    firefox.sent = 15360;
    firefox.received = 1048576;
    firefox.read = 4096;
    XProcessRow gone;
    gone.pid = 7;
    gone.written = 100;
    r.processes = {firefox, gone};
    r.engine.capturing = true;
    r.engine.packetsSeen = 834;
    r.engine.kernelDrops = 2;
    r.engine.eventsParsed = 830;
    r.engine.listeners = 2;
    r.engine.dnsNames = 1;
    return r;
}

std::string render(void (*print)(std::FILE*, const Report&), Report report)
{
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    print(out, report);
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
}

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

TEST(ConsoleReport, TextOutputMatchesTheGoldenFile)
{
    expectGolden(render(printReportText, fixedReport()), "report.txt");
    Report live = fixedReport();
    live.rowsPerTable = 1;
    expectGolden(render(printReportText, live), "report-live.txt");
}

TEST(ConsoleReport, JsonOutputMatchesTheGoldenFile)
{
    expectGolden(render(printReportJson, fixedReport()), "report.json");
}

} // namespace
