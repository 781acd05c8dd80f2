#include "core/RowFilter.h"

#include "core/TrafficModel.h"
#include "core/lists/CellTexts.h"

#include "TestEngine.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

class RowFilterTest : public ::testing::Test {
protected:
    TestEngine test;
    TrafficModel model{test.engine()};
    int described = 0;
    RowFilter filter{[this](std::uint32_t address) {
        ++described;
        return dottedAddress(address) + '\n' + model.dnsNameOf(address);
    }};

    std::vector<std::uint32_t> shown()
    {
        std::vector<std::uint32_t> out;
        for (int i = 0; i < model.size(kTrafficTcp); ++i)
            out.push_back(model.ipAt(kTrafficTcp, i));
        return out;
    }
};

} // namespace

TEST_F(RowFilterTest, NarrowsTheListByAnyCaseAndGivesItBackWhenCleared)
{
    test.count(kTrafficTcp, 0x0A000001, 100, 1);  // 10.0.0.1
    test.now += 10;
    test.count(kTrafficTcp, 0x0A000002, 100, 1);  // 10.0.0.2
    test.now += 10;
    test.count(kTrafficTcp, 0xC0A80105, 100, 1);  // 192.168.1.5
    test.dns().addRecord(0x0A000001, "Mail.Example.org", 16);
    test.dns().addRecord(0xC0A80105, "files.example.org", 17);

    model.setFilter(kTrafficTcp, &filter);
    filter.setQuery("  EXAMPLE.ORG ");
    EXPECT_EQ(model.refreshList(kTrafficTcp, true), 2);
    EXPECT_EQ(shown(), (std::vector<std::uint32_t>{0xC0A80105, 0x0A000001}));  // newest first, as unfiltered
    EXPECT_EQ(model.unfilteredSize(kTrafficTcp), 3);
    EXPECT_EQ(model.indexOfIp(kTrafficTcp, 0x0A000002), -1);

    // The next keystroke narrows what was read, without asking the engine.
    test.count(kTrafficTcp, 0x0A000009, 100, 1);
    filter.setQuery("10.0.0.");
    EXPECT_EQ(model.refilter(kTrafficTcp), 2);
    EXPECT_EQ(shown(), (std::vector<std::uint32_t>{0x0A000002, 0x0A000001}));
    filter.setQuery("no such host");
    EXPECT_EQ(model.refilter(kTrafficTcp), 0);

    model.setFilter(kTrafficTcp, nullptr);
    EXPECT_EQ(model.size(kTrafficTcp), 3);
    EXPECT_EQ(model.refreshList(kTrafficTcp, true), 4);
    EXPECT_EQ(model.unfilteredSize(kTrafficTcp), 4);
}

TEST_F(RowFilterTest, ReadsAHostsTextAgainOnlyAfterNewActivityOrWhenTold)
{
    test.count(kTrafficTcp, 0x0A000001, 100, 1);
    model.setFilter(kTrafficTcp, &filter);
    filter.setQuery("mail");
    EXPECT_EQ(model.refreshList(kTrafficTcp, true), 0);
    EXPECT_EQ(described, 1);

    // A name learnt without new traffic shows once the texts are dropped.
    test.dns().addRecord(0x0A000001, "mail.example", 12);
    filter.setQuery("mai");
    EXPECT_EQ(model.refilter(kTrafficTcp), 0);
    EXPECT_EQ(described, 1);
    filter.forget();
    EXPECT_EQ(model.refilter(kTrafficTcp), 1);
    EXPECT_EQ(described, 2);

    test.now += 50;
    test.count(kTrafficTcp, 0x0A000001, 100, 1);
    EXPECT_EQ(model.refreshList(kTrafficTcp, true), 1);
    EXPECT_EQ(described, 3);
    // An empty query lets everything through and reads no text.
    filter.setQuery("   ");
    EXPECT_FALSE(filter.active());
    EXPECT_EQ(model.refilter(kTrafficTcp), 1);
    EXPECT_EQ(described, 3);
}
