#include "TempFolder.h"

#include "config/DataFileStore.h"
#include "config/LocationParsers.h"
#include "config/ShiftedText.h"
#include "config/TextUtil.h"

#include <gtest/gtest.h>

#include <string>

using namespace lumivex::config;

namespace {

std::uint32_t ip(const char* text)
{
    return *parseDottedQuad(text);
}

std::string shiftedLines(std::initializer_list<std::string> lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += shiftLine(line) + "\r\n";
    return out;
}

std::string found(const DataFileStore& store, const char* address)
{
    std::string text;
    return store.lookupLocation(ip(address), text) ? text : "<none>";
}

} // namespace

TEST(DottedQuad, StrictDecimalOnly)
{
    EXPECT_EQ(parseDottedQuad("1.2.3.4"), 0x01020304u);
    EXPECT_EQ(parseDottedQuad("255.255.255.255"), 0xFFFFFFFFu);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "a.b.c.d", "1..2.3", "0001.2.3.4", "1.2.3.-4"})
        EXPECT_FALSE(parseDottedQuad(bad).has_value()) << bad;
}

TEST(LocationDatabase, SectionsRangesAndLines)
{
    std::array<LocationTable, 4> levels;
    const LocationLoad load = parseLocationDatabase(shiftedLines({
        "1.0.0.0-1.0.0.255[before any section]",
        "// level zero",
        " 10.0.0.0 - 10.255.255.255 [ 局域网 ]",
        "-1.1.1.1[dash first]",
        "2.0.0.0-2.0.0.9 no bracket",
        "3.0.0.0-3.0.0.9[no closing bracket",
        "4.0.0.0-x.0.0.9[bad address]",
        "level three",
        "10.1.0.0-10.1.0.255[office]",
    }), levels);
    ASSERT_EQ(levels[0].size(), 2u);
    EXPECT_STREQ(levels[0].ranges()[0].text, "局域网");
    EXPECT_STREQ(levels[0].ranges()[1].text, "no closing bracket");
    EXPECT_EQ(levels[3].size(), 1u);
    EXPECT_EQ(load.records, 3u);
    EXPECT_EQ(load.ignored, 4u);  // the range before a section and three malformed lines
}

TEST(LocationDatabase, TextsAreCutTo30BytesAndNeverInsideACharacter)
{
    std::array<LocationTable, 4> levels;
    parseLocationDatabase(shiftedLines({"level zero", "1.0.0.0-1.0.0.1[" + std::string(40, 'x') + "]",
                                        "2.0.0.0-2.0.0.1[" + std::string(29, 'y') + "本]"}),
                          levels);
    EXPECT_EQ(std::string(levels[0].ranges()[0].text), std::string(30, 'x'));
    EXPECT_EQ(std::string(levels[0].ranges()[1].text), std::string(29, 'y'));
}

TEST(LocationDatabase, LineOf510CharactersIsReadAndLongerLineEndsTheFile)
{
    const std::string prefix = "1.0.0.0-1.0.0.1[";
    const std::string fits = prefix + std::string(510 - prefix.size() - 1, 'a') + "]";
    const std::string tooLong = "2.0.0.0-2.0.0.1[" + std::string(600, 'b') + "]";
    std::array<LocationTable, 4> levels;
    const LocationLoad load =
        parseLocationDatabase(shiftedLines({"level one", fits, tooLong, "3.0.0.0-3.0.0.1[after]"}), levels);
    EXPECT_TRUE(load.overLong);
    EXPECT_EQ(levels[1].size(), 1u);
}

TEST(Supplementary, FirstByteSkippedLineEndsAndLastLineWithoutEnd)
{
    LocationTable list;
    const LocationLoad load = parseSupplementary("1.0.0.0-1.0.0.255[first]\r\n"
                                                 "  2.0.0.0 -  2.0.0.255[second]\r\n"
                                                 "3.0.0.0-3.0.0.255[third]\n"
                                                 "4.0.0.0-4.0.0.255[no bracket\r\n"
                                                 "5.0.0.0-5.0.0.255[last]",
                                                 list);
    ASSERT_EQ(list.size(), 3u);  // the first line lost its first byte: "." is no address
    EXPECT_STREQ(list.ranges()[0].text, "second");
    EXPECT_STREQ(list.ranges()[1].text, "third");
    EXPECT_STREQ(list.ranges()[2].text, "last");
    EXPECT_EQ(load.ignored, 2u);
}

TEST(Supplementary, TextsAreCutTo31BytesAtACharacterBoundary)
{
    LocationTable list;
    parseSupplementary("#\r\n1.0.0.0-1.0.0.1[" + std::string(40, 'x') + "]\r\n2.0.0.0-2.0.0.1[" + std::string(30, 'y') +
                           "国]\r\n",
                       list);
    EXPECT_EQ(std::string(list.ranges()[0].text), std::string(31, 'x'));
    EXPECT_EQ(std::string(list.ranges()[1].text), std::string(30, 'y'));
}

TEST(Supplementary, StopsStoringAt400000Ranges)
{
    std::string content = "#\r\n";
    content.reserve(kSupplementaryLimit * 30);
    char line[64];
    for (std::uint32_t i = 0; i <= kSupplementaryLimit; ++i) {
        const std::uint32_t address = 0x01000000u + i;
        char text[16];
        formatDottedQuad(address, text);
        std::snprintf(line, sizeof line, "%s-%s[n]\r\n", text, text);
        content += line;
    }
    LocationTable list;
    const LocationLoad load = parseSupplementary(content, list);
    EXPECT_EQ(list.size(), kSupplementaryLimit);
    EXPECT_EQ(load.ignored, 1u);
}

TEST(LocationTable, UnsortedAndOverlappingListsStaySearchable)
{
    LocationTable table;
    auto add = [&](const char* first, const char* last, const char* text) {
        LocationRange range;
        range.first = ip(first);
        range.last = ip(last);
        std::snprintf(range.text, sizeof range.text, "%s", text);
        table.add(range);
    };
    add("9.0.0.0", "9.255.255.255", "nine");
    add("1.0.0.0", "1.0.0.255", "one");
    add("1.0.0.128", "1.0.1.0", "overlaps one");
    add("5.0.0.9", "5.0.0.1", "reversed");
    add("200.0.0.0", "200.0.0.0", "single");
    EXPECT_EQ(table.normalise(), 2u);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_STREQ(table.find(ip("1.0.0.200"))->text, "one");
    EXPECT_EQ(table.find(ip("1.0.1.0")), nullptr);
    EXPECT_STREQ(table.find(ip("9.1.2.3"))->text, "nine");
    EXPECT_STREQ(table.find(ip("200.0.0.0"))->text, "single");
    EXPECT_EQ(table.find(ip("0.0.0.0")), nullptr);
    EXPECT_EQ(table.find(ip("255.255.255.255")), nullptr);
}

TEST(DataFileStore, SupplementaryFirstThenLevelThreeDownToZero)
{
    TempFolder data;
    data.write("ication.dat", shiftedLines({"level zero", "10.0.0.0-10.255.255.255[局域网]", "8.0.0.0-8.255.255.255[zero]",
                                            "level three", "10.1.0.0-10.1.255.255[三层]", "level one",
                                            "10.1.2.0-10.1.2.255[一层]"}));
    data.write("ipanother.txt", "#\r\n8.8.8.0-8.8.8.255[美国]\r\n");
    DataFileStore store(data.path());
    store.load();
    EXPECT_EQ(found(store, "10.9.9.9"), "局域网");
    EXPECT_EQ(found(store, "10.1.2.3"), "三层");  // level 3 wins over levels 1 and 0
    EXPECT_EQ(found(store, "8.8.8.8"), "美国");   // the supplementary list wins over the database
    EXPECT_EQ(found(store, "8.8.9.1"), "zero");
    EXPECT_EQ(found(store, "11.0.0.1"), "<none>");
    EXPECT_TRUE(store.report().databaseFound);
    EXPECT_FALSE(store.report().descriptionsFound);
}

TEST(DataFileStore, MissingAndBrokenFilesLeaveLookupsEmpty)
{
    TempFolder data;
    data.write("ipanother.txt", std::string("\0\xff\r\n-[]\r\n\r\r\r", 11));
    data.write("ptdescr.dat", std::string(100000, '\x01'));
    DataFileStore store(data.path());
    store.load();
    store.load();
    std::string text;
    EXPECT_FALSE(store.lookupLocation(ip("1.2.3.4"), text));
    EXPECT_FALSE(store.lookupDescription(0, 80, text));
    EXPECT_FALSE(store.report().databaseFound);
}

TEST(DataFileStore, BrokenFixtureFilesLoadWhatTheyCan)
{
    const std::string folder = std::string(LUMIVEX_TEST_DATA) + "/config/broken/";
    DataFileStore store(folder);
    store.load();
    EXPECT_EQ(found(store, "10.1.1.1"), "局域网");
    EXPECT_EQ(found(store, "192.168.1.1"), "<none>");  // its line was cut off
    EXPECT_EQ(found(store, "1.0.0.9"), "澳大利亚");
    EXPECT_EQ(found(store, "1.0.2.9"), "中国");
    EXPECT_EQ(found(store, "1.0.5.1"), "<none>");      // no closing bracket on the cut line
    EXPECT_EQ(store.report().supplementary.records, 2u);
}
