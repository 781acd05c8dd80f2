// Checks the data files shipped in dat/ against what the program reads from them.
#include "config/ConfigStore.h"
#include "config/DataFileStore.h"
#include "config/SettingLine.h"
#include "config/TextUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace lumivex::config;

namespace {

constexpr const char* kNumberKeys[] = {
    "sh_titlebar",   "sh_statusbar",   "sl_tabwndx",      "sl_tabwndy",     "sh_tabwnd",    "sw_tabwnd",
    "sh_listandviewdiv", "sh_advertwnd", "fh_statusbar",  "sh_statuslabel", "sw_statuslabel",
    "sw_statusedit", "sw_statuslediv", "sw_statusdiv",    "sh_statusdiv",   "sl_firsttabx", "fh_lhc",
    "fh_listitem",   "sw_topntabwnd",  "sw_topntabwnddiv", "sh_topngrapdiv",
};
// Font widths: 0 asks for the face's natural width.
constexpr const char* kFontWidthKeys[] = {"fw_statusbar", "fw_lhc", "fw_listitem"};
constexpr const char* kColourKeys[] = {
    "cbk_orvaneview", "c_frmborder",   "c_frmborderc",  "cbk_advertwnd",  "cbk_statusbar", "cbk_statusbaritem",
    "cf_statusbar",   "cf_statusbardata", "cf_lhc",     "cbk_monitorwnd", "c_topntabline", "cbk_topntabitem",
    "cbk_topntabitemok",
};
constexpr const char* kFontKeys[] = {"f_statusbar", "f_lhc", "f_title", "f_listitem", "f_floatwnd"};

std::string location(const DataFileStore& store, const char* address, Language language = Language::Chinese)
{
    std::string text;
    return store.lookupLocation(*parseDottedQuad(address), text, language) ? text : "<none>";
}

class ShippedData : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_store = new DataFileStore(LUMIVEX_DAT_DIR);
        s_store->load();
    }
    static void TearDownTestSuite() { delete s_store; }
    static DataFileStore* s_store;
};

DataFileStore* ShippedData::s_store = nullptr;

} // namespace

TEST(ShippedSkin, EverySkinKeyIsPresentWithAUsableValue)
{
    ConfigStore store(LUMIVEX_DAT_DIR, "");
    for (const char* key : kNumberKeys) {
        EXPECT_EQ(store.skinTable().count(key), 1u) << key;
        EXPECT_GT(store.getSkinInt(key), 0) << key;
    }
    for (const char* key : kFontWidthKeys) {
        EXPECT_EQ(store.skinTable().count(key), 1u) << key;
        EXPECT_GE(store.getSkinInt(key), 0) << key;
    }
    for (const char* key : kColourKeys) {
        ASSERT_EQ(store.skinTable().count(key), 1u) << key;
        const std::string value = store.getSkinValue(key);
        EXPECT_EQ(std::count(value.begin(), value.end(), ','), 2) << key;
    }
    for (const char* key : kFontKeys) {
        ASSERT_EQ(store.skinTable().count(key), 1u) << key;
        EXPECT_LT(std::string(store.getSkinValue(key)).size(), 32u) << key;
    }
    EXPECT_EQ(store.getSkinInt("sh_titlebar"), 24);
    EXPECT_EQ(store.getSkinInt("sw_tabwnd"), 360);
    // The tab window must be tall enough for the 20-pixel tabs.
    EXPECT_GE(store.getSkinInt("sh_tabwnd") - store.getSkinInt("sh_advertwnd"), 20);
    // Two status rows and their gap fit in the status bar.
    EXPECT_LE(2 * store.getSkinInt("sh_statuslabel") + store.getSkinInt("sh_statusdiv"), store.getSkinInt("sh_statusbar"));
}

TEST(ShippedSkin, UserSwitchesAreOn)
{
    ConfigStore store(LUMIVEX_DAT_DIR, "");
    EXPECT_TRUE(store.getUserFlag("menu_updatelist_status"));
    EXPECT_TRUE(store.getUserFlag("memu_float_staus"));
}

TEST_F(ShippedData, LoadsCleanly)
{
    const DataLoadReport& report = s_store->report();
    EXPECT_TRUE(report.databaseFound);
    EXPECT_TRUE(report.supplementaryFound);
    EXPECT_TRUE(report.descriptionsFound);
    EXPECT_TRUE(report.namesFound);
    EXPECT_FALSE(report.database.overLong);
    EXPECT_FALSE(report.descriptions.overLong);
    EXPECT_EQ(report.overlapsDropped, 0u);  // ascending and disjoint as shipped
    EXPECT_EQ(report.supplementary.ignored, 1u);  // the heading line only
    EXPECT_GT(report.supplementary.records, 300000u);
    EXPECT_EQ(report.descriptions.skipped, 0u);
}

TEST_F(ShippedData, PublicAddressesResolveToCountryNames)
{
    EXPECT_EQ(location(*s_store, "1.0.1.1"), "中国");       // 1.0.1.0-1.0.3.255 CN
    EXPECT_EQ(location(*s_store, "1.0.0.1"), "澳大利亚");   // 1.0.0.0-1.0.0.255 AU
    EXPECT_EQ(location(*s_store, "1.0.16.1"), "日本");      // 1.0.16.0-1.0.31.255 JP
    EXPECT_EQ(location(*s_store, "8.8.8.8"), "美国");
    EXPECT_EQ(location(*s_store, "193.0.6.139"), "荷兰");   // RIPE NCC, Amsterdam
    EXPECT_EQ(location(*s_store, "114.114.114.114"), "中国");
}

TEST_F(ShippedData, SpecialRangesHaveTheirOwnNames)
{
    for (const char* address : {"10.0.0.1", "172.16.5.4", "172.31.255.254", "192.168.1.1"})
        EXPECT_EQ(location(*s_store, address), "局域网") << address;
    EXPECT_EQ(location(*s_store, "127.0.0.1"), "本机");
    EXPECT_EQ(location(*s_store, "224.0.0.251"), "组播");
    EXPECT_EQ(location(*s_store, "239.255.255.250"), "组播");
    for (const char* address : {"0.0.0.0", "100.64.0.1", "169.254.1.1", "192.0.2.1", "198.51.100.7", "203.0.113.9",
                                "240.0.0.1", "255.255.255.255"})
        EXPECT_NE(location(*s_store, address), "<none>") << address;
}

TEST_F(ShippedData, EveryLocationHasAnEnglishName)
{
    std::vector<const LocationTable*> tables = {&s_store->supplementary()};
    for (int level = 0; level < 4; ++level)
        tables.push_back(&s_store->level(level));
    std::size_t ranges = 0;
    for (const LocationTable* table : tables) {
        for (const LocationRange& range : table->ranges()) {
            ++ranges;
            const char* name = s_store->englishName(range.text);
            ASSERT_NE(name, nullptr) << range.text;
            // Latin letters (Türkiye, Curaçao), no Chinese character: UTF-8 lead bytes from
            // 0xE3 on begin the CJK blocks.
            EXPECT_TRUE(std::none_of(name, name + std::strlen(name), [](char c) { return (unsigned char)c >= 0xE3; })) << name;
        }
    }
    EXPECT_GT(ranges, 300000u);
    EXPECT_EQ(location(*s_store, "8.8.8.8", Language::English), "United States");
    EXPECT_EQ(location(*s_store, "193.0.6.139", Language::English), "Netherlands");
    EXPECT_EQ(location(*s_store, "192.168.1.1", Language::English), "Local network");
    EXPECT_EQ(location(*s_store, "127.0.0.1", Language::English), "This computer");
    EXPECT_EQ(location(*s_store, "255.255.255.255", Language::English), "Broadcast");
}

TEST_F(ShippedData, CommonPortsAndProtocolsHaveDescriptions)
{
    std::string text;
    for (std::uint16_t port : {80, 443, 53, 22}) {
        EXPECT_TRUE(s_store->lookupDescription(0, port, text)) << port;
        EXPECT_FALSE(text.empty());
    }
    EXPECT_TRUE(s_store->lookupDescription(1, 53, text));
    EXPECT_TRUE(s_store->lookupDescription(1, 123, text));
    EXPECT_TRUE(s_store->lookupDescription(2, 6, text));
    EXPECT_EQ(text, "TCP");
    EXPECT_TRUE(s_store->lookupDescription(2, 17, text));
    EXPECT_EQ(text, "UDP");
}
