#include "ViewTestEngine.h"

#include "config/DataFileStore.h"
#include "shell/core/TrafficModel.h"
#include "views/lists/CellTexts.h"
#include "views/lists/ListColours.h"
#include "views/lists/TrafficRowCache.h"

#include <gtest/gtest.h>

#include <regex>

using namespace orvane;

namespace {

constexpr std::uint32_t kLan = 0x0A000002;        // 10.0.0.2, a private network
constexpr std::uint32_t kUnplaced = 0x0E66F001;   // 14.102.240.1, in no range of the data files

// The shipped data files, loaded once for the whole test program.
const lumivex::config::DataFileStore& shippedData()
{
    static lumivex::config::DataFileStore* store = [] {
        auto* s = new lumivex::config::DataFileStore(LUMIVEX_DAT_DIR);
        s->load();
        return s;
    }();
    return *store;
}

class CellTextTest : public ::testing::Test {
protected:
    CellSources sources() const { return {&shippedData(), "未知"}; }

    ViewTestEngine test;
    TrafficModel model{test.engine()};
};

} // namespace

TEST_F(CellTextTest, AddressPortNameLocationBytesAndProgram)
{
    test.programs[77] = "/usr/bin/curl";
    test.count(kTrafficTcp, kLan, 1000000, 1, 443, 77);
    test.count(kTrafficTcp, kLan, 1000000, 0, 443, 77);
    test.count(kTrafficTcp, kUnplaced, 999, 1, 47123);
    test.dns().addRecord(kLan, "files.example", 13);
    ASSERT_EQ(model.refreshList(kTrafficTcp, false), 2);
    const TrafficCellText texts(kTrafficTcp, model, sources());
    XTrafficRow lan, unplaced;
    ASSERT_TRUE(model.itemDataFor(kTrafficTcp, kLan, lan));
    ASSERT_TRUE(model.itemDataFor(kTrafficTcp, kUnplaced, unplaced));

    EXPECT_EQ(texts.columns(), 8);
    EXPECT_EQ(texts.text(0, lan), " 10.0.0.2");
    EXPECT_EQ(texts.text(1, lan), "https");
    EXPECT_EQ(texts.text(1, unplaced), "47123");  // no description: the number
    EXPECT_EQ(texts.text(2, lan), "files.example");
    EXPECT_EQ(texts.text(2, unplaced), "");
    EXPECT_EQ(texts.text(3, lan), "局域网");
    EXPECT_EQ(texts.text(3, unplaced), "未知");
    EXPECT_EQ(texts.text(4, lan), "976.56K");  // sent: M only above 1 000 000
    EXPECT_EQ(texts.text(5, lan), "0.954M");   // received: M from 1 000 000
    EXPECT_EQ(texts.text(4, unplaced), "999");
    EXPECT_EQ(texts.text(7, lan), " curl");
    EXPECT_EQ(texts.text(7, unplaced), "");
    EXPECT_TRUE(std::regex_match(texts.text(6, lan), std::regex(" [0-2][0-9]:[0-5][0-9]:[0-5][0-9]-[1-9][0-9]?/[1-9][0-2]?")))
        << texts.text(6, lan);

    EXPECT_EQ(listcolour::byLastUnitLetter(texts.text(4, lan)), listcolour::kilo);
    EXPECT_EQ(listcolour::byLastUnitLetter(texts.text(5, lan)), listcolour::mega);
    EXPECT_EQ(listcolour::byLastUnitLetter("0.931G"), listcolour::giga);
    EXPECT_EQ(listcolour::byLastUnitLetter("999"), listcolour::text);
}

TEST_F(CellTextTest, UdpPortsHaveTheirOwnDescriptionsAndTheChatListItsProgram)
{
    test.count(kTrafficUdp, kLan, 60, 1, 53);
    model.refreshList(kTrafficUdp, false);
    XTrafficRow row;
    ASSERT_TRUE(model.itemDataFor(kTrafficUdp, kLan, row));
    EXPECT_EQ(TrafficCellText(kTrafficUdp, model, sources()).text(1, row), "domain");

    XTrafficRow chat;
    chat.address = kLan;
    chat.program = "QQ";
    const TrafficCellText chatTexts(kTrafficChat, model, sources());
    EXPECT_EQ(chatTexts.columns(), 7);
    EXPECT_EQ(chatTexts.text(1, chat), " QQ");
    chat.program.clear();
    EXPECT_EQ(chatTexts.text(1, chat), " ");
    EXPECT_EQ(chatTexts.text(7, chat), "");
}

TEST_F(CellTextTest, RowCacheMarksTwoSecondsOfActivityAndRepaintsOnceWhenItEnds)
{
    test.count(kTrafficTcp, kLan, 100, 1);
    model.refreshList(kTrafficTcp, false);
    const TrafficCellText texts(kTrafficTcp, model, sources());
    TrafficRowCache cache;
    const auto fetch = [this](int row, XTrafficRow& out) { return model.itemDataAt(kTrafficTcp, row, out); };

    const std::uint32_t seen = test.now;
    EXPECT_EQ(cache.load(0, 1, fetch, texts, seen + 2000, false), std::vector<int>{0});  // row 1 does not exist
    ASSERT_NE(cache.find(0), nullptr);
    EXPECT_TRUE(cache.find(0)->active);
    EXPECT_EQ(cache.find(0)->texts[0], " 10.0.0.2");
    EXPECT_EQ(cache.find(1), nullptr);

    EXPECT_EQ(cache.load(0, 1, fetch, texts, seen + 2001, false), std::vector<int>{0});  // ends: once more
    EXPECT_FALSE(cache.find(0)->active);
    EXPECT_TRUE(cache.load(0, 1, fetch, texts, seen + 3000, false).empty());             // then left alone
    EXPECT_EQ(cache.load(0, 1, fetch, texts, seen + 3000, true), (std::vector<int>{0, 1}));  // unless all are due

    // Across the tick wrap-around a fresh record is still active.
    EXPECT_TRUE(TrafficRowCache::activeAt(0xFFFFFF00u, 0x00000100u));

    // The engine forgets the address: the row is emptied and repainted once.
    test.engine().clear(kTrafficTcp);
    EXPECT_EQ(cache.load(0, 1, fetch, texts, seen + 4000, false), std::vector<int>{0});
    EXPECT_EQ(cache.find(0), nullptr);
    EXPECT_TRUE(cache.load(0, 1, fetch, texts, seen + 5000, false).empty());
    EXPECT_TRUE(cache.load(5, 2, fetch, texts, seen, false).empty());  // an empty range
}
