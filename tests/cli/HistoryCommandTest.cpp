// `lumivex history`: its command line, and what it prints from a recorded database.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "HistoryCommand.h"
#include "HistoryOptions.h"
#include "history/Recorder.h"

namespace {

bool parse(std::vector<std::string> args, HistoryOptions& o, std::string& error, int64_t now = 1750000000)
{
    args.insert(args.begin(), "history");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    o = HistoryOptions();
    return parseHistoryOptions(int(argv.size()), argv.data(), now, o, error);
}

TEST(ConsoleHistory, OptionsPickTheRangeAndTheGrouping)
{
    setenv("TZ", "UTC", 1);
    tzset();
    HistoryOptions o;
    std::string error;
    ASSERT_TRUE(parse({}, o, error)) << error;
    EXPECT_EQ(o.range, (history::TimeRange{1750000000 - 86400, 1750000000}));
    EXPECT_EQ(o.by, HistoryOptions::By::Program);
    ASSERT_TRUE(parse({"--program", "firefox", "--json"}, o, error));
    EXPECT_EQ(o.by, HistoryOptions::By::Host) << "a program's hosts";
    EXPECT_EQ(o.format, HistoryOptions::Format::Json);
    ASSERT_TRUE(parse({"--from", "2025-03-01", "--to", "2025-03-31", "--by", "day"}, o, error)) << error;
    EXPECT_EQ(o.range, (history::TimeRange{1740787200, 1743465600})) << "--to includes its day";
    ASSERT_TRUE(parse({"--month", "2024-02", "--host", "10.0.0.1"}, o, error));
    EXPECT_EQ(o.range, (history::TimeRange{1706745600, 1709251200}));
    EXPECT_EQ(o.host, 0x0A000001u);
    ASSERT_TRUE(parse({"--forget-host", "192.168.1.20"}, o, error));
    EXPECT_EQ(o.action, HistoryOptions::Action::ForgetHost);
    EXPECT_EQ(o.forgetHost, 0xC0A80114u);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--to", "2025-03-01"}, {"--since", "7d", "--month", "2025-01"}, {"--since", "7x"},
          {"--since", "0h"}, {"--from", "2025-02-30"}, {"--from", "2025-03-02", "--to", "2025-03-01"},
          {"--by", "port"}, {"--host", "10.0.0.256"}, {"--host", "10.0.0"}, {"--clear", "--forget-program", "x"},
          {"--program"}, {"--verbose"}}) {
        EXPECT_FALSE(parse(bad, o, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

class FixedClock : public history::RecorderClock {
public:
    explicit FixedClock(int64_t t) : m_t(t) {}
    history::ClockReading now() override { return {m_t * 1000, 0}; }

private:
    int64_t m_t;
};

std::string run(std::vector<std::string> args, int& status)
{
    args.insert(args.begin(), "history");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    status = runHistoryCommand(int(argv.size()), argv.data(), out, err);
    std::string text;
    for (std::FILE* f : {out, err}) {
        std::rewind(f);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

// A recorded database printed as a table, as JSON and as CSV: the bytes under their program
// and their host, names from the network escaped before they reach a terminal.
TEST(ConsoleHistory, PrintsWhatWasRecordedWithNamesEscaped)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("lvx-history-cli-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "history.sqlite").string();
    FixedClock clock(int64_t(std::time(nullptr)) - 600);
    {
        history::RecorderOptions o;
        o.path = path;
        o.clock = &clock;
        history::Recorder recorder(o);
        recorder.start();
        XLedger l;
        XLedgerRow r;
        r.program = "evil\x1b[2Jname";
        r.path = "/tmp/evil";
        r.remoteAddress = 0x0A000005;
        r.protocol = 6;
        r.remotePortClass = 443;
        r.dnsName = "bell\x07.example";
        r.bytes[0] = 123456;
        r.bytes[1] = 789;
        l.rows.push_back(r);
        recorder.add(l);
        recorder.stop();
    }
    int status = -1;
    const std::string text = run({"--since", "1h", "--history", path}, status);
    EXPECT_EQ(status, 0) << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_NE(text.find("evil\\x1b[2Jname"), std::string::npos) << text;
    EXPECT_NE(text.find("120.6 KB"), std::string::npos) << text;

    const std::string hosts = run({"--since", "1h", "--history", path, "--by", "host"}, status);
    EXPECT_NE(hosts.find("10.0.0.5"), std::string::npos) << hosts;
    EXPECT_NE(hosts.find("bell\\x07.example"), std::string::npos) << hosts;

    const std::string json = run({"--since", "1h", "--history", path, "--json"}, status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(json.find("\"program\": \"evil\\u001b[2Jname\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"hosts\": [\n      {\"address\": \"10.0.0.5\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"received\": 123456, \"sent\": 789"), std::string::npos) << json;

    const std::string csv = run({"--since", "1h", "--history", path, "--csv", "--by", "host"}, status);
    EXPECT_EQ(csv.rfind("address,dns_name,location,received,sent,total", 0), 0u) << csv;

    EXPECT_NE(run({"--history", path, "--forget-program", "evil\x1b[2Jname"}, status).find("forgot 1 program"), std::string::npos);
    EXPECT_EQ(status, 0);
    EXPECT_NE(run({"--since", "1h", "--history", path}, status).find("0 programs"), std::string::npos);

    EXPECT_NE(run({"--history", (dir / "none.sqlite").string()}, status).find("no history at"), std::string::npos);
    EXPECT_EQ(status, 1);
    std::filesystem::remove_all(dir);
}

} // namespace
