#include "shell/advert/AdvertRecord.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(AdvertRecord, FourFieldsInOrder)
{
    AdvertRecord r;
    ASSERT_TRUE(parseAdvertRecord("img.example.org;/b/banner.gif;http://ex.org/click;https://ex.org/help\r\n", r));
    EXPECT_EQ(r.imageHost, "img.example.org");
    EXPECT_EQ(r.imagePath, "/b/banner.gif");
    EXPECT_EQ(r.clickPage, "http://ex.org/click");
    EXPECT_EQ(r.helpPage, "https://ex.org/help");  // the line end is not part of it
}

TEST(AdvertRecord, MissingFieldsStayEmptyAndExtraOnesAreIgnored)
{
    AdvertRecord r;
    r.helpPage = "old";
    ASSERT_TRUE(parseAdvertRecord("host;/path", r));
    EXPECT_EQ(r.imagePath, "/path");
    EXPECT_EQ(r.clickPage, "");
    EXPECT_EQ(r.helpPage, "");
    ASSERT_TRUE(parseAdvertRecord(";;;help;more;fields", r));
    EXPECT_EQ(r.imageHost, "");
    EXPECT_EQ(r.helpPage, "help");
}

TEST(AdvertRecord, EmptyAnd4096ByteBodiesAreRefused)
{
    AdvertRecord r;
    r.imageHost = "kept";
    EXPECT_FALSE(parseAdvertRecord("", r));
    EXPECT_FALSE(parseAdvertRecord(std::string(4096, 'a'), r));
    EXPECT_EQ(r.imageHost, "kept");
    EXPECT_TRUE(parseAdvertRecord(std::string(4095, 'a'), r));
}

TEST(AdvertRecord, OverlongFieldsAreCutToTheirSlots)
{
    AdvertRecord r;
    const std::string body = std::string(127, 'h') + ";" + std::string(511, 'p') + ";" + std::string(600, 'c') + ";" +
                             std::string(511, 'e');
    ASSERT_TRUE(parseAdvertRecord(body, r));
    EXPECT_EQ(r.imageHost.size(), 127u);  // fits whole
    EXPECT_EQ(r.imagePath.size(), 511u);
    EXPECT_EQ(r.clickPage.size(), 510u);
    EXPECT_EQ(r.helpPage.size(), 510u);
    ASSERT_TRUE(parseAdvertRecord(std::string(128, 'h'), r));
    EXPECT_EQ(r.imageHost.size(), 126u);
}

TEST(AdvertRecord, OnlyPlainHostsAndPathsAreFetched)
{
    EXPECT_TRUE(isPlainHostName("img.example.org"));
    EXPECT_TRUE(isPlainHostName("127.0.0.1"));
    EXPECT_FALSE(isPlainHostName(""));
    EXPECT_FALSE(isPlainHostName("user@evil.org"));
    EXPECT_FALSE(isPlainHostName("evil.org:8080"));
    EXPECT_FALSE(isPlainHostName("evil.org/x"));
    EXPECT_FALSE(isPlainHostName("a..b"));
    EXPECT_FALSE(isPlainHostName(std::string(254, 'a')));
    EXPECT_TRUE(isPlainObjectPath("/banner.gif?v=3"));
    EXPECT_FALSE(isPlainObjectPath("/ban ner.gif"));
    EXPECT_FALSE(isPlainObjectPath("/x\r\nHost: evil"));
    EXPECT_FALSE(isPlainObjectPath(""));
}

} // namespace
} // namespace orvane
