// The console's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
