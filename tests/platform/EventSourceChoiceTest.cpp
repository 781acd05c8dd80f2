#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "corekit/XLog.h"
#include "platform/IoEventSource.h"

namespace {

#ifndef CAP_BPF
constexpr int CAP_BPF = 39;
#endif

// Takes capabilities out of this thread's effective set (they stay permitted) and puts them
// back when it goes.
class WithoutCapabilities {
public:
    explicit WithoutCapabilities(std::initializer_list<int> caps)
    {
        ::syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        for (const int cap : caps)
            lowered[cap / 32].effective &= ~(1u << (cap % 32));
        ::syscall(SYS_capset, &m_header, lowered);
    }
    ~WithoutCapabilities() { ::syscall(SYS_capset, &m_header, m_saved); }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
};

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
