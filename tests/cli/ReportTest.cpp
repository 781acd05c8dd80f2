// The console front end's text and JSON output for a fixed report, against golden files in
// tests/data/cli/. To accept a deliberate change of the output, regenerate them with
// LUMIVEX_UPDATE_GOLDEN=1.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Report.h"
#include "TerminalText.h"

namespace {

Report fixedReport()
{
    Report r;
    r.version = "1.2.3";
    r.elapsedSeconds = 10.2;
    r.privileged = true;
    r.eventSource = "pcap";
    TrafficRow web{"93.184.216.34", 443, "www.example.org", "美国", 15360, 1048576, 20, 800, 0.5, "firefox-bin", "tls"};
    TrafficRow dns{"10.0.0.53", 53, "", "局域网", 300, 900, 4, 4, 3.25, "", ""};
    TrafficRow quote{"203.0.113.9", 8080, "a\"b\\c", "", 1, 2, 1, 1, 12, "we\"ird", "dns"};
    r.tables = {{"tcp", {web, quote}}, {"udp", {dns}}, {"chat", {}}};
    XProcessRow firefox;
    firefox.pid = 4242;
    firefox.name = "firefox-bin";
    firefox.sent = 15360;
    firefox.received = 1048576;
    firefox.packetsSent = 20;
    firefox.packetsReceived = 800;
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
    r.history.role = "recording";
    r.history.path = "/home/user/.local/share/lumivex/history.sqlite";
    r.history.counters = {{"history_ledgers", 10, false, ""}, {"history_flushes", 1, false, ""},
                          {"history_buckets_dropped", 0, true, ""}};
    return r;
}

std::string render(void (*print)(std::FILE*, const Report&), Report report)
{
#ifdef _WIN32
    // Windows has no memory streams: a temporary file stands in.
    std::FILE* file = std::tmpfile();
    print(file, report);
    std::string written(size_t(std::ftell(file)), '\0');
    std::rewind(file);
    written.resize(std::fread(written.data(), 1, written.size(), file));
    std::fclose(file);
    return written;
#else
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    print(out, report);
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
#endif
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

// The JSON says what a byte is for every event source: the golden file has the fallback's.
TEST(ConsoleReport, EachEventSourceSaysWhatItsBytesAre)
{
    EXPECT_NE(bytesCountedBy("ebpf").find("as the packets it stands for"), std::string::npos);
    EXPECT_NE(bytesCountedBy("etw").find("one packet per send or receive call"), std::string::npos);
    EXPECT_EQ(bytesCountedBy("etw: the kernel trace cannot be read"), bytesCountedBy("etw"));
    EXPECT_EQ(bytesCountedBy("none"), "");
}

TEST(ConsoleReport, CsvListsEveryTableWithCellsASpreadsheetReadsAsText)
{
    Report r = fixedReport();
    r.tables[2].rows.push_back({"198.51.100.7", 5000, "=HYPERLINK(\"x\")", "", 5, 6, 1, 2, 0, "qq,chat", ""});
    const std::string csv = render(printReportCsv, r);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "table,address,port,dns_name,location,bytes_sent,bytes_received,packets_sent,packets_received,"
              "idle_seconds,program");
    EXPECT_NE(csv.find("\r\ntcp,93.184.216.34,443,www.example.org,美国,15360,1048576,20,800,0.5,firefox-bin\r\n"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("tcp,203.0.113.9,8080,\"a\"\"b\\c\",,1,2,1,1,12.0,\"we\"\"ird\"\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\nudp,10.0.0.53,53,,"), std::string::npos) << csv;
    // A name from the network is never a formula; a comma stays inside its cell.
    EXPECT_NE(csv.find("chat,198.51.100.7,5000,\"'=HYPERLINK(\"\"x\"\")\",,5,6,1,2,0.0,\"qq,chat\"\r\n"),
              std::string::npos)
        << csv;
}

// Every byte that reaches the terminal is printable UTF-8, a blank or a line end.
void expectTerminalSafe(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8SequenceAt(text, i);
        ASSERT_GT(length, 0u) << "invalid UTF-8 at " << i;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        EXPECT_TRUE(c >= 0x20 || c == '\n') << "control byte " << int(c) << " at " << i;
        EXPECT_NE(c, 0x7F);
        EXPECT_FALSE(c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) << "C1 control at " << i;
        i += length;
    }
}

TEST(ConsoleReport, ControlCharactersAndBrokenUtf8NeverReachTheTerminal)
{
    Report r = fixedReport();
    TrafficRow hostile{"198.51.100.7", 53, "\x1b]0;owned\x07x.example", "\x1b[2J", 1, 1, 1, 1, 1,
                       "\x1b[31mred\xc2\x9b\xff\xfe", ""};
    r.tables[1].rows.push_back(hostile);
    r.processes[0].name = "evil\x1b[1A\r";
    r.processes.push_back(r.processes[0]);
    r.processes.back().name = "inv\xE2\x80\xAE" "fdp.exe\xE2\x80\x8B";  // reads as invexe.pdf
    r.eventSource = "pcap\n\x1b[H";
    for (int columns : {0, 80}) {
        Report shown = r;
        shown.columns = columns;
        shown.compact = columns > 0;
        const std::string text = render(printReportText, shown);
        expectTerminalSafe(text);
        if (columns > 0)
            continue;  // 80 columns leave no room for the DNS name and cut the program's
        EXPECT_NE(text.find("\\x1b]0;owned\\x07x.example"), std::string::npos) << text;
        EXPECT_NE(text.find("\\x1b[31mred\\x9b\xEF\xBF\xBD\xEF\xBF\xBD"), std::string::npos) << text;
        EXPECT_NE(text.find("evil\\x1b[1A\\x0d"), std::string::npos) << text;
        EXPECT_NE(text.find("inv\\u202efdp.exe\\u200b"), std::string::npos) << text;
    }
    const std::string json = render(printReportJson, r);
    expectTerminalSafe(json);
    EXPECT_NE(json.find("\\u001b]0;owned\\u0007x.example"), std::string::npos);
    EXPECT_NE(json.find("\\u009b"), std::string::npos);
    EXPECT_NE(json.find("inv\\u202efdp.exe\\u200b"), std::string::npos);
    EXPECT_EQ(json.find("\xE2\x80\xAE"), std::string::npos);
    Report tables = r;
    tables.tables[1].rows.back().program = r.processes.back().name;
    const std::string csv = render(printReportCsv, tables);
    EXPECT_NE(csv.find("inv\\u202efdp.exe\\u200b"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("\xE2\x80\xAE"), std::string::npos);
    expectTerminalSafe(privilegeAdvice("/opt/l\x1b[2Jumivex"));
}

// A report with many addresses and long names, as a busy machine gives.
Report busyReport()
{
    Report r = fixedReport();
    for (int i = 0; i < 40; ++i) {
        TrafficRow row{"203.0.113." + std::to_string(i), 443,
                       "a-rather-long-host-name-" + std::to_string(i) + ".cdn.example.net", "美国", 1000.0 * i, 1, 1,
                       1, 1, "chromium-browser-stable", ""};
        r.tables[0].rows.push_back(row);
        r.tables[1].rows.push_back(row);
    }
    for (int i = 0; i < 30; ++i) {
        XProcessRow p;
        p.pid = uint32_t(1000 + i);
        p.name = "worker-" + std::to_string(i);
        r.processes.push_back(p);
    }
    r.engine.queueDrops = 3;
    r.engine.ringDropped = 4;
    return r;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(ConsoleReport, LiveViewFitsTheTerminal)
{
    for (const auto& [columns, rows] : {std::pair{80, 24}, std::pair{100, 30}, std::pair{160, 50}}) {
        Report r = busyReport();
        r.columns = columns;
        r.lines = rows;
        r.compact = true;
        const std::vector<std::string> lines = linesOf(render(printReportText, r));
        EXPECT_LT(int(lines.size()), rows) << columns << "x" << rows;  // the cursor's line stays free
        for (const std::string& line : lines)
            EXPECT_LE(displayWidth(line), columns) << line;
        // Every list keeps a share of the screen, and says what it leaves out.
        for (const char* title : {"tcp: 42 remote addresses", "udp: 41 remote addresses", "Programs"}) {
            const auto at = std::find(lines.begin(), lines.end(), title);
            ASSERT_NE(at, lines.end()) << title;
            EXPECT_GE(lines.end() - at, 3) << title;
        }
        EXPECT_GE(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.rfind("... ", 0) == 0; }),
                  3);
        // The header shows which columns gave way: location first, then the DNS name.
        const std::string header = lines[3];
        EXPECT_EQ(header.find("Location") != std::string::npos, columns >= 160) << header;
        EXPECT_EQ(header.find("DNS name") != std::string::npos, columns >= 100) << header;
    }
}

TEST(ConsoleReport, LiveViewCountersAreCompact)
{
    Report r = busyReport();
    r.columns = 80;
    r.compact = true;
    const std::string text = render(printReportText, r);
    const size_t at = text.find("Counters (capturing; pcap): 9 dropped; history recording, 0 lost\n");  // 2 + 3 + 4
    ASSERT_NE(at, std::string::npos) << text;
    const std::string counters = text.substr(at);
    EXPECT_NE(counters.find("queue_drops 3"), std::string::npos);
    EXPECT_NE(counters.find("kernel_drops 2"), std::string::npos);
    EXPECT_EQ(counters.find("packets_malformed"), std::string::npos);  // zero: not shown
    EXPECT_LE(linesOf(counters).size(), 3u);
}

} // namespace
