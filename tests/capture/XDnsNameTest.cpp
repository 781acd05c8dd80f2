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
    out.assign(buf.data(), n > 0 ? size_t(n) : 0);
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

TEST(DnsNameDecoder, PointerLoopsAreMalformed)
{
    std::string s;
    EXPECT_EQ(decode({0xC0, 0x00}, 0, s), kMalformedDnsName);                  // points at itself
    EXPECT_EQ(decode({0xC0, 0x02, 0xC0, 0x00}, 0, s), kMalformedDnsName);      // two pointers in a circle
    EXPECT_EQ(decode({1, 'x', 0xC0, 0x00}, 0, s), kMalformedDnsName);          // label then back to it
}

TEST(DnsNameDecoder, StaysInsideMessageAndBuffer)
{
    std::string s;
    EXPECT_EQ(decode({5, 'a', 'b'}, 0, s), kMalformedDnsName);          // label runs past the end
    EXPECT_EQ(decode({1, 'a', 0xC0}, 0, s), kMalformedDnsName);         // half a pointer
    EXPECT_EQ(decode({1, 'a', 0xC0, 0x40}, 0, s), kMalformedDnsName);   // pointer beyond the end
    EXPECT_EQ(decode({1, 'a'}, 0, s), kMalformedDnsName);               // no final zero
    EXPECT_EQ(decode({0}, 0, s), 0);
    EXPECT_EQ(decode({1, 'a'}, 2, s), 0);
    EXPECT_EQ(decode({1, 'a'}, -1, s), 0);
    EXPECT_EQ(decode({3, 'a', 'b', 'c', 0}, 0, s, 3), 3);  // exactly fills the buffer
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(decode({4, 'a', 'b', 'c', 'd', 0}, 0, s, 3), 0);
}

TEST(DnsNameDecoder, LabelsOver63AndNamesOver255BytesAreMalformed)
{
    std::string s;
    std::vector<uint8_t> label63 = {63};
    label63.insert(label63.end(), 63, 'a');
    label63.push_back(0);
    EXPECT_EQ(decode(label63, 0, s, 65), 63);
    std::vector<uint8_t> label64 = label63;
    label64[0] = 64;  // the length byte now says 64, and 0x40 is no label length
    label64.insert(label64.begin() + 1, 'a');
    EXPECT_EQ(decode(label64, 0, s, 65), kMalformedDnsName);

    // Three labels of 63 and one of 61: 255 bytes on the wire, the most a name may have; it is
    // cut in the 65-byte buffer all the same. One more byte is too many.
    const auto name = [](int lastLabel) {
        std::vector<uint8_t> n;
        for (int i = 0; i < 4; ++i) {
            const int size = i < 3 ? 63 : lastLabel;
            n.push_back(uint8_t(size));
            n.insert(n.end(), size_t(size), uint8_t('a' + i));
        }
        n.push_back(0);
        return n;
    };
    ASSERT_EQ(name(61).size(), 255u);
    EXPECT_EQ(decode(name(61), 0, s, 65), 63);
    EXPECT_EQ(s, std::string(63, 'a'));
    EXPECT_EQ(decode(name(62), 0, s, 65), kMalformedDnsName);
}

TEST(DnsNameDecoder, NamesWithBytesNoHostNameHoldsAreRefusedWhole)
{
    std::string s;
    EXPECT_EQ(decode({3, 'a', '-', 'b', 2, '_', '9', 0}, 0, s), 6);
    EXPECT_EQ(s, "a-b._9");
    EXPECT_EQ(decode({3, 'a', 0, 'b', 1, 'c', 0}, 0, s), kNotAHostName);           // a NUL
    EXPECT_EQ(decode({3, 'a', '.', 'b', 1, 'c', 0}, 0, s), kNotAHostName);         // a dot inside a label
    EXPECT_EQ(decode({3, 0xE2, 0x80, 0xAE, 1, 'c', 0}, 0, s), kNotAHostName);      // U+202E
    EXPECT_EQ(decode({1, 'a', 1, ' ', 0}, 0, s, 1), kNotAHostName);                // also past the buffer
    EXPECT_EQ(decode({1, 0x7F, 0xC0, 0x00}, 0, s), kMalformedDnsName);             // the wire still counts first
}

TEST(HostNameCheck, DottedTextOfAnyOrigin)
{
    EXPECT_TRUE(isHostName("www.example.org"));
    EXPECT_TRUE(isHostName("_dmarc.xn--bcher-kva.example"));
    EXPECT_TRUE(isHostName(std::string(63, 'a')));
    EXPECT_FALSE(isHostName(std::string(64, 'a')));
    EXPECT_TRUE(isHostName(std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." +
                           std::string(61, 'd')));
    EXPECT_FALSE(isHostName(std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." +
                            std::string(62, 'd')));
    for (const char* bad : {"", ".", "a..b", ".a", "a.", "a b", "a\x01", "bank\xE2\x80\xAEmoc"})
        EXPECT_FALSE(isHostName(bad)) << bad;
    EXPECT_FALSE(isHostName(std::string("a\0b", 3)));
}

} // namespace
