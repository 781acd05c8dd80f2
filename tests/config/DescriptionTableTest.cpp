#include "config/DescriptionTable.h"
#include "config/ShiftedText.h"

#include <gtest/gtest.h>

#include <string>

using namespace lumivex::config;

namespace {

std::string shiftedLines(std::initializer_list<std::string> lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += shiftLine(line) + "\r\n";
    return out;
}

std::string describe(const DescriptionTable& table, int kind, std::uint16_t number)
{
    const char* text = table.find(kind, number);
    return text != nullptr ? text : "<none>";
}

} // namespace

TEST(Descriptions, SectionsSelectTheTable)
{
    DescriptionTable table;
    const auto load = table.load(shiftedLines({"// tcp ports", " 80 = http // web", "53=domain", "// udp port descrption",
                                               "53=dns", "// protocol descrption", "6=TCP", "=orphan", "   =blank number"}));
    EXPECT_EQ(describe(table, 0, 80), "http");
    EXPECT_EQ(describe(table, 0, 53), "domain");
    EXPECT_EQ(describe(table, 1, 53), "dns");
    EXPECT_EQ(describe(table, 1, 80), "<none>");
    EXPECT_EQ(describe(table, 2, 6), "TCP");
    EXPECT_EQ(describe(table, 3, 6), "<none>");
    EXPECT_EQ(describe(table, -1, 6), "<none>");
    EXPECT_EQ(load.entries, 4u);
    EXPECT_EQ(describe(table, 2, 0), "<none>");
}

TEST(Descriptions, NumbersAreCutTo16BitsAndLaterEntriesReplace)
{
    DescriptionTable table;
    table.load(shiftedLines({"65536=wrapped", "65537=one", "1=replaced one", "7x=seven", "// a=b comment is no entry"}));
    EXPECT_EQ(describe(table, 0, 0), "wrapped");
    EXPECT_EQ(describe(table, 0, 1), "replaced one");
    EXPECT_EQ(describe(table, 0, 7), "seven");
    EXPECT_EQ(table.size(0), 3u);
}

TEST(Descriptions, PoolOf64000BytesSkipsEntriesThatNoLongerFit)
{
    std::string content;
    const std::string text(98, 'd');  // 100 bytes of pool each
    for (int number = 0; number < 700; ++number)
        content += shiftLine(std::to_string(number) + "=" + text) + "\r\n";
    DescriptionTable table;
    const auto load = table.load(content);
    EXPECT_EQ(load.entries, 639u);  // fill + 98 stays below 63998 up to fill 63800
    EXPECT_EQ(load.skipped, 61u);
    EXPECT_LE(table.poolUsed(), DescriptionTable::kPoolSize);
    EXPECT_EQ(describe(table, 0, 638), text);
    EXPECT_EQ(describe(table, 0, 639), "<none>");
}

TEST(Descriptions, OnlyTheFirstLoadCounts)
{
    DescriptionTable table;
    table.load(shiftedLines({"80=http"}));
    const auto second = table.load(shiftedLines({"80=other", "81=new"}));
    EXPECT_EQ(second.entries, 0u);
    EXPECT_EQ(describe(table, 0, 80), "http");
    EXPECT_EQ(describe(table, 0, 81), "<none>");
}
