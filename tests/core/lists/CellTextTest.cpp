#include "TestEngine.h"

#include "config/DataFileStore.h"
#include "core/TrafficModel.h"
#include "core/lists/CellTexts.h"
#include "core/lists/ListColours.h"
#include "core/lists/TrafficRowCache.h"

#include <gtest/gtest.h>

#include <regex>

using namespace orvane;
using C = TrafficColumn;

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

    TestEngine test;
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
    EXPECT_EQ(texts.text(C::Address, lan), " 10.0.0.2");
    EXPECT_EQ(texts.text(C::Port, lan), "https");
    EXPECT_EQ(texts.text(C::Port, unplaced), "47123");  // no description: the number
    EXPECT_EQ(texts.text(C::DnsName, lan), "files.example");
    EXPECT_EQ(texts.text(C::DnsName, unplaced), "");
    EXPECT_EQ(texts.text(C::Location, lan), "局域网");
    EXPECT_EQ(texts.text(C::Location, unplaced), "未知");
    EXPECT_EQ(texts.text(C::SentBytes, lan), "976.56K");  // sent: M only above 1 000 000
    EXPECT_EQ(texts.text(C::ReceivedBytes, lan), "0.954M");   // received: M from 1 000 000
    EXPECT_EQ(texts.text(C::SentBytes, unplaced), "999");
    EXPECT_EQ(texts.text(C::Program, lan), " curl");
    EXPECT_EQ(texts.text(C::Program, unplaced), "");
    EXPECT_TRUE(std::regex_match(texts.text(C::LastSeen, lan), std::regex(" [0-2][0-9]:[0-5][0-9]:[0-5][0-9]-[1-9][0-9]?/[1-9][0-2]?")))
        << texts.text(C::LastSeen, lan);

    // The byte columns in their unit's colour, the others plain.
    EXPECT_EQ(texts.cell(C::SentBytes, lan).colour, valuecolor::kilo);
    EXPECT_EQ(texts.cell(C::ReceivedBytes, lan).colour, (Rgb{220, 0, 220}));
    EXPECT_EQ(texts.cell(C::SentBytes, unplaced).colour, listcolour::text);
    EXPECT_EQ(texts.cell(C::Location, lan).colour, listcolour::text);
}

TEST_F(CellTextTest, UdpPortsHaveTheirOwnDescriptionsAndTheChatListItsProgram)
{
    test.count(kTrafficUdp, kLan, 60, 1, 53);
    model.refreshList(kTrafficUdp, false);
    XTrafficRow row;
    ASSERT_TRUE(model.itemDataFor(kTrafficUdp, kLan, row));
    EXPECT_EQ(TrafficCellText(kTrafficUdp, model, sources()).text(C::Port, row), "domain");

    XTrafficRow chat;
    chat.address = kLan;
    chat.program = "QQ";
    const TrafficCellText chatTexts(kTrafficChat, model, sources());
    EXPECT_EQ(chatTexts.columns(), 7);
    EXPECT_EQ(chatTexts.text(C::Port, chat), " QQ");
    chat.program.clear();
    EXPECT_EQ(chatTexts.text(C::Port, chat), " ");
    EXPECT_EQ(chatTexts.text(C::Program, chat), "");
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
    EXPECT_EQ(cache.find(0)->cells[0].text, " 10.0.0.2");
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
