// The console's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MetricsEndpoint.h"
#include "Options.h"
#include "Report.h"

namespace {

bool parse(std::vector<std::string> args, Options& options, std::string& error)
{
    args.insert(args.begin(), "lumivex");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return parseOptions(int(argv.size()), argv.data(), options, error);
}

TEST(ConsoleOptions, HelpSecondsAndErrors)
{
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--help", "--bogus"}, o, error));  // help wins: nothing after it is read
    EXPECT_TRUE(o.help);
    Options h;
    ASSERT_TRUE(parse({"-h"}, h, error));
    EXPECT_TRUE(h.help);

    Options s;
    ASSERT_TRUE(parse({"--seconds", "2147483647", "--json"}, s, error));
    EXPECT_EQ(s.seconds, 2147483647);
    EXPECT_TRUE(s.json);

    Options bad;
    EXPECT_FALSE(parse({"--seconds", "2147483648"}, bad, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--seconds", "0"}, bad, error));
    EXPECT_NE(error.find("at least 1"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--seconds", "-99999999999"}, bad, error));
    EXPECT_NE(error.find("at least 1"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--seconds"}, bad, error));
    EXPECT_FALSE(parse({"--what"}, bad, error));
    EXPECT_EQ(error, "unknown option --what");
}

TEST(ConsoleOptions, ServiceAndMetricsEndpoints)
{
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--service", "--metrics", "0.0.0.0:9813", "--metrics-hosts", "7"}, o, error)) << error;
    EXPECT_TRUE(o.service);
    EXPECT_EQ(o.metrics, "0.0.0.0:9813");
    EXPECT_EQ(o.metricsHosts, 7);
    EXPECT_FALSE(parse({"--service", "--json"}, o, error));  // the service prints nothing
    EXPECT_FALSE(parse({"--metrics-hosts", "0"}, o, error));
    EXPECT_FALSE(parse({"--metrics"}, o, error));

    // A port alone listens on loopback; brackets hold an IPv6 address.
    const struct {
        const char* text;
        const char* address;
        int port;  // -1: refused
        bool ipv6;
    } cases[] = {
        {"9813", "127.0.0.1", 9813, false},      {":9813", "127.0.0.1", 9813, false},
        {"localhost:80", "127.0.0.1", 80, false}, {"10.0.0.1:0", "10.0.0.1", 0, false},
        {"[::1]:9813", "::1", 9813, true},       {"[::]:65535", "::", 65535, true},
        {"::1:9813", "", -1, false},             {"[::1]9813", "", -1, false},
        {"10.0.0.1:", "", -1, false},            {"10.0.0.1:65536", "", -1, false},
        {"10.0.0.1:-1", "", -1, false},          {"[]:80", "", -1, false},
        {"", "", -1, false},                     {"10.0.0.1:80x", "", -1, false},
    };
    for (const auto& c : cases) {
        MetricsEndpoint e;
        const bool ok = parseMetricsEndpoint(c.text, e, error);
        EXPECT_EQ(ok, c.port >= 0) << c.text;
        if (ok && c.port >= 0) {
            EXPECT_EQ(e.address, c.address) << c.text;
            EXPECT_EQ(e.port, c.port) << c.text;
            EXPECT_EQ(e.ipv6, c.ipv6) << c.text;
        }
    }
}

TEST(ConsoleOptions, HistoryAndCsvSwitches)
{
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--csv", "--seconds", "3"}, o, error));
    EXPECT_TRUE(o.csv);
    EXPECT_FALSE(o.noHistory);
    EXPECT_EQ(o.historyFlushSeconds, 60);
    Options bad;
    EXPECT_FALSE(parse({"--csv", "--json"}, bad, error));
#ifdef LUMIVEX_HAVE_HISTORY
    Options h;
    ASSERT_TRUE(parse({"--history", "/tmp/h.sqlite", "--history-flush", "2", "--no-history"}, h, error)) << error;
    EXPECT_EQ(h.historyFile, "/tmp/h.sqlite");
    EXPECT_EQ(h.historyFlushSeconds, 2);
    EXPECT_TRUE(h.noHistory);
    EXPECT_FALSE(parse({"--history-flush", "0"}, bad, error));
    EXPECT_NE(error.find("--history-flush needs a whole number"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--history", ""}, bad, error));
    EXPECT_FALSE(parse({"--history"}, bad, error));
    Options keep;
    ASSERT_TRUE(parse({"--history-keep", "hour=30d,day=forever", "--history-hosts", "50"}, keep, error)) << error;
    EXPECT_EQ(keep.historyKeep.seconds[1], 30 * 86400);
    EXPECT_EQ(keep.historyKeep.seconds[2], 0);
    EXPECT_EQ(keep.historyKeep.seconds[0], 7 * 86400);  // the default
    EXPECT_EQ(keep.historyHosts, 50);
    EXPECT_FALSE(parse({"--history-keep", "hour=3"}, bad, error));
    EXPECT_NE(error.find("--history-keep"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--history-hosts", "0"}, bad, error));
#endif
}

TEST(ConsoleOptions, PrivilegeAdviceNamesTheCommandForTheProgramThatRuns)
{
#ifdef _WIN32
    const std::string advice = privilegeAdvice("C:\\Lumivex\\lumivex.exe");
    EXPECT_NE(advice.find("Start C:\\Lumivex\\lumivex.exe from a command prompt opened with \"Run as administrator\""),
              std::string::npos)
        << advice;
#else
    const std::string advice = privilegeAdvice("/opt/lumivex/bin/lumivex");
    EXPECT_NE(advice.find("sudo setcap cap_net_raw,cap_dac_read_search,cap_sys_ptrace,cap_bpf,cap_perfmon,cap_net_admin+ep "
                          "/opt/lumivex/bin/lumivex"),
              std::string::npos)
        << advice;
    EXPECT_NE(advice.find("sudo cmake --install"), std::string::npos) << advice;
#endif
}

} // namespace
