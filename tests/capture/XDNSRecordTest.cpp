#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "capture/XDNSRecord.h"

namespace {

TEST(DnsCache, StoresTheNameWithTwoNulsAndCopiesAtMostTheBuffer)
{
    XDNSRecord dns("");
    dns.addRecord(1, "host.test", 9);
    char buf[128];
    std::memset(buf, 'Z', sizeof buf);
    ASSERT_EQ(dns.getDNSName(1, buf, 128), 11);
    EXPECT_EQ(std::string(buf, 11), std::string("host.test\0\0", 11));

    char small[8];
    std::memset(small, 'Z', sizeof small);
    ASSERT_EQ(dns.getDNSName(1, small, 5), 5);
    EXPECT_EQ(std::string(small, 6), "host.Z");

    EXPECT_EQ(dns.getDNSName(1, nullptr, 10), 0);
    EXPECT_EQ(dns.getDNSName(1, buf, 0), 0);
    EXPECT_EQ(dns.getDNSName(2, buf, 128), 0);
}

TEST(DnsCache, NewestNameReplacesTheOldAndEmptyNamesAreIgnored)
{
    XDNSRecord dns("");
    dns.addRecord(1, "first.example", 13);
    dns.addRecord(1, "b.example", 9);
    EXPECT_EQ(dns.size(), 1);
    char buf[128];
    ASSERT_EQ(dns.getDNSName(1, buf, 128), 11);
    EXPECT_STREQ(buf, "b.example");

    dns.addRecord(2, "x", 0);
    dns.addRecord(3, "x", -5);
    EXPECT_FALSE(dns.hasDNSName(2));
    EXPECT_FALSE(dns.hasDNSName(3));
    EXPECT_EQ(dns.size(), 1);
}

TEST(DnsCache, NamesLongerThanAnEntryKeepTheirLastLabelsBehindAMark)
{
    XDNSRecord dns("");
    const std::string n126(126, 'a');
    dns.addRecord(1, n126.c_str(), 126);
    char buf[200];
    ASSERT_EQ(dns.getDNSName(1, buf, 200), 128);
    EXPECT_EQ(std::string(buf), n126);

    // 13 labels of 9 and "example": 137 characters. What fits after the mark starts at a label.
    std::string longName;
    for (int i = 0; i < 13; ++i)
        longName += std::string(9, char('a' + i)) + ".";
    longName += "example";
    dns.addRecord(2, longName.c_str(), int(longName.size()));
    const int n = dns.getDNSName(2, buf, 200);
    const std::string stored(buf);
    EXPECT_EQ(n, int(stored.size()) + 2);
    EXPECT_LE(n, 128);
    EXPECT_EQ(stored, "\xE2\x80\xA6" + longName.substr(longName.find("ccccccccc")));

    dns.addRecord(3, n126.c_str(), 500);  // a length past the string's end stops at its NUL
    EXPECT_EQ(dns.getDNSName(3, buf, 200), 128);
}

TEST(DnsCache, AFullCacheForgetsTheNameLearntLongestAgo)
{
    XDNSRecord dns("", XDNSRecord::Limits{2500, std::size_t(1) << 30});
    EXPECT_EQ(dns.capacity(), 2500);
    for (uint32_t i = 1; i <= 2500; ++i)
        dns.addRecord(i, "n.example", 9);
    dns.addRecord(1, "again.example", 13);  // learnt again: now the newest
    for (uint32_t i = 2501; i <= 2600; ++i)
        dns.addRecord(i, "m.example", 9);
    EXPECT_EQ(dns.size(), 2500);
    EXPECT_EQ(dns.dropped(), 100u);
    EXPECT_TRUE(dns.hasDNSName(1));
    EXPECT_FALSE(dns.hasDNSName(2));
    EXPECT_FALSE(dns.hasDNSName(101));
    EXPECT_TRUE(dns.hasDNSName(102));
    EXPECT_TRUE(dns.hasDNSName(2600));
    EXPECT_EQ(dns.blockCount(), 3);  // never more than the capacity takes

    // The byte bound alone: room for ten names.
    XDNSRecord small("", XDNSRecord::Limits{100000, 10 * XDNSRecord::kEntryBytes});
    for (uint32_t i = 1; i <= 50; ++i)
        small.addRecord(i, "n.example", 9);
    EXPECT_EQ(small.size(), 10);
    EXPECT_EQ(small.dropped(), 40u);
}

TEST(DnsCache, GrowsByBlocksOf1000)
{
    XDNSRecord dns("");
    for (uint32_t i = 0; i < 1001; ++i)
        dns.addRecord(i + 1, "n.example", 9);
    EXPECT_EQ(dns.size(), 1001);
    EXPECT_EQ(dns.blockCount(), 2);
    EXPECT_TRUE(dns.hasDNSName(1));
    EXPECT_TRUE(dns.hasDNSName(1001));
    EXPECT_EQ(dns.dropped(), 0u);
}

TEST(DnsCache, OwnWebHostAmongTheFirst101NamesIsBlanked)
{
    XDNSRecord early("www.lumivex.test");
    early.addRecord(1, "WWW.Lumivex.TEST", 16);
    char buf[128];
    ASSERT_EQ(early.getDNSName(1, buf, 128), 18);
    EXPECT_STREQ(buf, " ");

    XDNSRecord late("www.lumivex.test");
    for (uint32_t i = 0; i < 101; ++i)
        late.addRecord(100 + i, "other.example", 13);
    late.addRecord(1, "www.lumivex.test", 16);
    late.getDNSName(1, buf, 128);
    EXPECT_STREQ(buf, "www.lumivex.test");

    XDNSRecord none("");
    none.addRecord(1, " ", 1);
    none.getDNSName(1, buf, 128);
    EXPECT_STREQ(buf, " ");
    none.addRecord(2, "anything", 8);
    none.getDNSName(2, buf, 128);
    EXPECT_STREQ(buf, "anything");
}

} // namespace
