#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestProcessInfo.h"
#include "capture/XChatPrograms.h"
#include "capture/XDNSRecord.h"
#include "capture/XIPCounter.h"
#include "capture/XPacketCounter.h"

namespace {

constexpr uint32_t kQqPid = 100;
constexpr uint32_t kBrowserPid = 200;
constexpr uint32_t kSignalPid = 300;

class ChatCounterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XIPCounter::clearICQProcessNames();
        registerChatPrograms();
        chat.init(&dns);
        tcp.init(processes.get(), &chat);
    }
    void TearDown() override { XIPCounter::clearICQProcessNames(); }

    // What the parser does with one event: the per-address counter first, then the chat one.
    void event(uint32_t ip, int size, int direction, uint32_t pid)
    {
        tcp.count(ip, 0x5000, 0, size, direction, pid);
        chat.count(ip, 0, size, direction);
    }

    std::unique_ptr<XPCProcessInfo> processes = makeProcessInfo({
        {kQqPid, "/opt/QQ/QQ.EXE"},
        {kBrowserPid, "/usr/bin/firefox"},
        {kSignalPid, "/opt/Signal/signal-desktop"},
    });
    XDNSRecord dns{""};
    XIPCounter chat{0, 0};
    XPacketCounter tcp{0, 0};
};

TEST_F(ChatCounterTest, RegistersTheKnownProgramsWithinTwentyEntries)
{
    EXPECT_EQ(XIPCounter::icqProcessCount(), 20);
    XIPCounter::addICQProcessName("extra.exe", "Extra");
    EXPECT_EQ(XIPCounter::icqProcessCount(), 20);
    EXPECT_EQ(XIPCounter::isICQProcess("extra.exe"), nullptr);
}

TEST_F(ChatCounterTest, NamesMatchIgnoringCaseAndTheExeSuffix)
{
    EXPECT_STREQ(XIPCounter::isICQProcess("QQ.EXE"), "QQ");
    EXPECT_STREQ(XIPCounter::isICQProcess("qq"), "QQ");
    EXPECT_STREQ(XIPCounter::isICQProcess("Skype.exe"), "Skype");
    EXPECT_STREQ(XIPCounter::isICQProcess("skypeforlinux"), "Skype");
    EXPECT_STREQ(XIPCounter::isICQProcess("telegram-desktop"), "Telegram");
    EXPECT_STREQ(XIPCounter::isICQProcess("Telegram.exe"), "Telegram");
    EXPECT_STREQ(XIPCounter::isICQProcess("discord"), "Discord");
    EXPECT_STREQ(XIPCounter::isICQProcess("fetionvm.exe"), "飞信");
    EXPECT_EQ(XIPCounter::isICQProcess("firefox"), nullptr);
    EXPECT_EQ(XIPCounter::isICQProcess("qq.ex"), nullptr);
    EXPECT_EQ(XIPCounter::isICQProcess(".exe"), nullptr);
    EXPECT_EQ(XIPCounter::isICQProcess(""), nullptr);
    EXPECT_EQ(XIPCounter::isICQProcess(nullptr), nullptr);
}

TEST_F(ChatCounterTest, LongNamesAreCutTo31CharactersAndDuplicatesFirstWins)
{
    XIPCounter::clearICQProcessNames();
    const std::string longName(40, 'x');
    XIPCounter::addICQProcessName("a.exe", longName.c_str());
    XIPCounter::addICQProcessName("a.exe", "Second");
    EXPECT_EQ(XIPCounter::icqProcessCount(), 2);
    EXPECT_EQ(std::string(XIPCounter::isICQProcess("a")), std::string(31, 'x'));
    for (int i = 0; i < 25; ++i)
        XIPCounter::addICQProcessName("b.exe", "B");
    EXPECT_EQ(XIPCounter::icqProcessCount(), 20);
}

TEST_F(ChatCounterTest, ChatProgramReachingABareAddressIsAdoptedWithItsFirstEvent)
{
    event(0x0A000001, 700, 1, kQqPid);
    ASSERT_EQ(chat.size(), 1);
    _X_R_PACKETCOUNTER r{};
    ASSERT_TRUE(chat.getIPdata(0x0A000001, r));
    EXPECT_STREQ(r.programName, "QQ");
    EXPECT_EQ(r.bytes[1], 700);
    EXPECT_EQ(r.packets[1], 1);
    EXPECT_EQ(r.remotePort, 0x5000);

    event(0x0A000001, 300, 0, kQqPid);
    ASSERT_TRUE(chat.getIPdata(0x0A000001, r));
    EXPECT_EQ(r.bytes[0], 300);

    event(0x0A000002, 10, 0, kSignalPid);
    ASSERT_TRUE(chat.getIPdata(0x0A000002, r));
    EXPECT_STREQ(r.programName, "Signal");
}

TEST_F(ChatCounterTest, NamedAddressesAndAddressesFirstSeenElsewhereAreNotAdopted)
{
    dns.addRecord(0x0A000003, "chat.example", 12);
    event(0x0A000003, 100, 0, kQqPid);
    event(0x0A000004, 100, 0, kBrowserPid);
    event(0x0A000004, 100, 0, kQqPid);
    event(0x0A000005, 100, 0, 0);
    EXPECT_EQ(chat.size(), 0);
    _X_R_PACKETCOUNTER r{};
    EXPECT_FALSE(chat.getIPdata(0x0A000004, r));
}

TEST_F(ChatCounterTest, GetIPsListsOnlyAddressesWithTrafficBothWaysAndOneSideAbove5120)
{
    event(1, 6000, 0, kQqPid);              // 6000 received, 0 sent
    event(2, 6000, 0, kQqPid);
    event(2, 1, 1, kQqPid);                 // 6000 received, 1 sent
    event(3, 5000, 0, kQqPid);
    event(3, 5000, 1, kQqPid);              // 5000 and 5000
    event(4, 5121, 1, kQqPid);
    event(4, 1, 0, kQqPid);                 // 1 and 5121
    ASSERT_EQ(chat.size(), 4);
    unsigned long ips[8], ticks[8];
    ASSERT_EQ(chat.getIPs(ips, ticks, 0, 8), 2);
    EXPECT_EQ(ips[0], 2u);
    EXPECT_EQ(ips[1], 4u);
}

TEST_F(ChatCounterTest, StatDataReportsNoTotalsButTheAdoptedCount)
{
    event(1, 6000, 0, kQqPid);
    event(2, 6000, 1, kQqPid);
    _X_PACKETCOUNTER_STATDATA s{};
    chat.getStatData(s);
    EXPECT_EQ(s.bytesReceived, 0);
    EXPECT_EQ(s.bytesSent, 0);
    EXPECT_EQ(s.packetsReceived + s.packetsSent, 0);
    EXPECT_EQ(s.addresses, 2);
    EXPECT_EQ(chat.getType(), 2);
}

TEST_F(ChatCounterTest, ClearedAddressesReturnOnlyWhenOfferedAnew)
{
    event(1, 100, 0, kQqPid);
    chat.clear();
    event(1, 100, 0, kQqPid);
    EXPECT_EQ(chat.size(), 0);

    tcp.clear();
    event(1, 100, 0, kQqPid);
    ASSERT_EQ(chat.size(), 1);
    _X_R_PACKETCOUNTER r{};
    ASSERT_TRUE(chat.getIPdata(1, r));
    EXPECT_EQ(r.bytes[0], 100);
}

TEST_F(ChatCounterTest, AdoptionWhileAClearIsPendingSurvivesTheNextCount)
{
    chat.clear();  // pending until the next count of the chat counter
    event(1, 100, 0, kQqPid);
    EXPECT_EQ(chat.size(), 1);
}

} // namespace
