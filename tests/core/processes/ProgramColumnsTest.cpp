#include "core/processes/ProgramColumns.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

ProgramRecord program(std::string name, std::uint64_t down)
{
    ProgramRecord r;
    r.name = std::move(name);
    r.totals.down = down;
    return r;
}

} // namespace

TEST(ProgramColumns, ValueCellsAndTheOrderOfClicks)
{
    ProgramRecord r = program("", 1048576);
    r.pid = 42;
    r.shown.read = 999;
    EXPECT_EQ(programCell(r, ProgramColumn::Name).text, "PID:42");
    EXPECT_EQ(programCell(r, ProgramColumn::DownTotal), (ColoredText{"1.00 M", {220, 0, 220}}));
    EXPECT_EQ(programCell(r, ProgramColumn::ReadSpeed), (ColoredText{"999", valuecolor::listText}));
    EXPECT_EQ(programValue(r, ProgramColumn::DownTotal), 1048576.0);

    const std::vector<ProgramRecord> records = {program("beta", 300), program("Alpha", 100), program("gamma", 200)};
    ProgramOrder order;
    const auto names = [&] {
        std::string s;
        for (const ProgramRecord* p : order.sorted(records))
            s += p->name + " ";
        return s;
    };
    EXPECT_EQ(order.column(), ProgramColumn::DownTotal);
    EXPECT_TRUE(order.descending());
    EXPECT_EQ(names(), "beta gamma Alpha ");  // most downloaded first
    order.clickColumn(ProgramColumn::DownTotal);
    EXPECT_FALSE(order.descending());
    EXPECT_EQ(names(), "Alpha gamma beta ");
    order.clickColumn(ProgramColumn::Name);  // another column keeps the direction
    EXPECT_FALSE(order.descending());
    EXPECT_EQ(names(), "Alpha beta gamma ");  // letter case does not count
    order.clickColumn(ProgramColumn::Name);
    EXPECT_EQ(names(), "gamma beta Alpha ");
}
