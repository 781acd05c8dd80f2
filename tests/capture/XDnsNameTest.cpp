#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/XDnsName.h"

namespace {

int decode(const std::vector<uint8_t>& msg, int pos, std::string& out, int outSize = 65)
{
    std::vector<char> buf(size_t(outSize) + 8, '#');
    const int n = decodeDnsName(buf.data(), outSize, reinterpret_cast<const char*>(msg.data()), pos,
                                int(msg.size()));
    EXPECT_EQ(buf[size_t(outSize)], '#') << "wrote past the buffer";
    out.assign(buf.data(), size_t(n));
    return n;
}

TEST(DnsNameDecoder, FollowsPointersAndJoinsLabels)
{
    // "b.c" at 0, then "a" + pointer to 0 at 5.
    const std::vector<uint8_t> msg = {1, 'b', 1, 'c', 0, 1, 'a', 0xC0, 0x00};
    std::string s;
    EXPECT_EQ(decode(msg, 5, s), 5);
    EXPECT_EQ(s, "a.b.c");
    EXPECT_EQ(decode(msg, 0, s), 3);
    EXPECT_EQ(s, "b.c");
}

TEST(DnsNameDecoder, EndsOnPointerLoops)
{
    std::string s;
    EXPECT_EQ(decode({0xC0, 0x00}, 0, s), 0);                  // points at itself
    EXPECT_EQ(decode({0xC0, 0x02, 0xC0, 0x00}, 0, s), 0);      // two pointers in a circle
    const std::vector<uint8_t> labelLoop = {1, 'x', 0xC0, 0x00};  // label then back to it
    EXPECT_EQ(decode(labelLoop, 0, s), 65);                    // ends when the buffer is full
}

TEST(DnsNameDecoder, StaysInsideMessageAndBuffer)
{
    std::string s;
    EXPECT_EQ(decode({5, 'a', 'b'}, 0, s), 0);          // label runs past the end
    EXPECT_EQ(decode({1, 'a', 0xC0}, 0, s), 1);         // half a pointer
    EXPECT_EQ(decode({1, 'a', 0xC0, 0x40}, 0, s), 1);   // pointer beyond the end
    EXPECT_EQ(decode({0}, 0, s), 0);
    EXPECT_EQ(decode({1, 'a'}, 2, s), 0);
    EXPECT_EQ(decode({1, 'a'}, -1, s), 0);
    EXPECT_EQ(decode({3, 'a', 'b', 'c', 0}, 0, s, 3), 3);  // exactly fills the buffer
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(decode({4, 'a', 'b', 'c', 'd', 0}, 0, s, 3), 0);
}

} // namespace
