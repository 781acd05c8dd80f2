#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "WithoutCapabilities.h"
#include "corekit/XLog.h"
#include "platform/IoEventSource.h"

namespace {

TEST(EventSourceChoiceTest, RefusedLoadingGivesThePcapSourceAndALogLineSayingWhy)
{
    const std::string log = std::string(::testing::TempDir()) + "/event_source_choice.log";
    std::remove(log.c_str());
    ASSERT_TRUE(XLog::Instance()->setLogFile(log));
    std::unique_ptr<platform::IoEventSource> source;
    {
        // CAP_SYS_ADMIN would stand in for CAP_BPF.
        WithoutCapabilities lowered({CAP_BPF, CAP_SYS_ADMIN});
        source = platform::createSystemIoEventSource();
    }
    ASSERT_TRUE(source);
    EXPECT_EQ(source->name(), "pcap: no CAP_BPF");
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("eBPF flow counting unavailable (no CAP_BPF), capturing packets with libpcap"),
              std::string::npos)
        << text.str();
}

} // namespace
