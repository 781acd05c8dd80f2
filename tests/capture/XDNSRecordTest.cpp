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

TEST(DnsCache, LongNamesKeep126Characters)
{
    XDNSRecord dns("");
    const std::string n126(126, 'a');
    const std::string n128 = std::string(126, 'b') + "cd";
    dns.addRecord(1, n126.c_str(), 126);
    dns.addRecord(2, n128.c_str(), 128);
    dns.addRecord(3, n128.c_str(), 500);  // longer than the field: taken as 128
    char buf[200];
    ASSERT_EQ(dns.getDNSName(1, buf, 200), 128);
    EXPECT_EQ(std::string(buf), n126);
    ASSERT_EQ(dns.getDNSName(2, buf, 200), 128);
    EXPECT_EQ(std::string(buf), std::string(126, 'b'));
    ASSERT_EQ(dns.getDNSName(3, buf, 200), 128);
    EXPECT_EQ(buf[126], 0);
    EXPECT_EQ(buf[127], 0);
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
