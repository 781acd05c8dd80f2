#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hostinfo/XPCNetcardInfo.h"

namespace {

TEST(XPCNetcardInfo, IndexLimits)
{
    XPCNetcardInfo info;
    EXPECT_EQ(info.getIPByIndex(0), 0u);  // nothing read yet
    const uint32_t addrs[] = {htonl(0x7F000001), htonl(0x0A000001)};
    ASSERT_EQ(info.setAddresses(addrs, 2), 2);
    EXPECT_EQ(info.getIPByIndex(1), htonl(0x0A000001));
    EXPECT_EQ(info.getIPByIndex(2), 0u);
    EXPECT_EQ(info.getIPByIndex(-1), 0u);
}

TEST(XPCNetcardInfo, MoreThanAHundredAddressesAreCountedButNotCopied)
{
    std::vector<uint32_t> many(150);
    for (uint32_t i = 0; i < many.size(); ++i)
        many[i] = htonl(0x0A000000 + i + 1);
    XPCNetcardInfo info;
    EXPECT_EQ(info.setAddresses(many.data(), int(many.size())), 150);
    EXPECT_EQ(info.getIPByIndex(99), htonl(0x0A000000 + 100));
    EXPECT_EQ(info.getIPByIndex(100), 0u);
    EXPECT_EQ(info.getIPByIndex(149), 0u);
}

TEST(XPCNetcardInfo, TheSystemTableIncludesLoopback)
{
    XPCNetcardInfo info;
    const int n = info.getIPAddrs();
    ASSERT_GT(n, 0);
    bool loopback = false;
    for (int i = 0; i < n; ++i) {
        const uint32_t a = info.getIPByIndex(i);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&a);
        loopback = loopback || (b[0] == 127 && b[1] == 0 && b[2] == 0 && b[3] == 1);
    }
    EXPECT_TRUE(loopback);
}

} // namespace
