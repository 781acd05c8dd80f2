#include "config/SettingLine.h"
#include "config/ShiftedText.h"
#include "config/TextUtil.h"

#include <gtest/gtest.h>

#include <string>

using namespace lumivex::config;

namespace {

std::string shifted(const std::string& lines)
{
    std::string out;
    std::size_t start = 0;
    while (start < lines.size()) {
        std::size_t end = lines.find('\n', start);
        if (end == std::string::npos)
            end = lines.size();
        out += shiftLine(lines.substr(start, end - start));
        if (end < lines.size())
            out += "\r\n";
        start = end + 1;
    }
    return out;
}

SettingMap loadSkin(const std::string& plainLines, SettingsLoad* load = nullptr)
{
    SettingMap map;
    const SettingsLoad result = loadSettings(shifted(plainLines), true, false, map);
    if (load != nullptr)
        *load = result;
    return map;
}

} // namespace

TEST(ShiftedText, DecodesEveryByteOneLowerAndStopsAtZero)
{
    EXPECT_EQ(unshiftLine(shiftLine("sh_titlebar=30")), "sh_titlebar=30");
    EXPECT_EQ(unshiftLine(shiftLine("本机")), "本机");
    EXPECT_EQ(unshiftLine(std::string("b\x01" "c", 3)), "a");  // 0x01 decodes to the terminator
    EXPECT_EQ(unshiftLine(std::string("b\0c", 3)), "a");
    EXPECT_EQ(unshiftLine(std::string(1, '\0')), "");
    EXPECT_EQ(static_cast<unsigned char>(unshiftLine("\xff")[0]), 0xFE);
}

TEST(SkinFile, KeyValueTrimmingAndComments)
{
    const SettingMap map = loadSkin("// a comment line\n"
                                    "  sh_titlebar =  30  // title height\n"
                                    "no setting here\n"
                                    " = orphan value\n"
                                    "url=http://example// cut\n"
                                    "empty=\n");
    EXPECT_EQ(map.at("sh_titlebar"), "30");
    EXPECT_EQ(map.at("url"), "http:");
    EXPECT_EQ(map.at("empty"), "");
    EXPECT_EQ(map.size(), 3u);
}

TEST(SkinFile, LaterDuplicateWinsAndKeysAreCaseSensitive)
{
    const SettingMap map = loadSkin("c_frmborder=1,2,3\nC_FRMBORDER=9\nc_frmborder=4,5,6\n");
    EXPECT_EQ(map.at("c_frmborder"), "4,5,6");
    EXPECT_EQ(map.at("C_FRMBORDER"), "9");
}

TEST(SkinFile, UnshiftedLineGivesNoUsableEntry)
{
    SettingMap map;
    loadSettings("sh_titlebar=30\r\n", true, false, map);
    EXPECT_EQ(map.count("sh_titlebar"), 0u);
    EXPECT_TRUE(map.empty());  // '=' decodes to '<', so there is no split point
}

TEST(SkinFile, LineOf254CharactersIsReadAndLongerLineStopsReading)
{
    const std::string fits = "k254=" + std::string(254 - 5, 'v');
    const std::string tooLong = "k255=" + std::string(255 - 5, 'v');
    SettingsLoad load;
    SettingMap map = loadSkin("a=1\n" + fits + "\nb=2\n" + tooLong + "\nc=3\n", &load);
    EXPECT_TRUE(load.overLong);
    EXPECT_EQ(map.at("k254").size(), 249u);
    EXPECT_EQ(map.count("b"), 1u);
    EXPECT_EQ(map.count("k255"), 0u);
    EXPECT_EQ(map.count("c"), 0u);  // nothing after the over-long line
    EXPECT_EQ(map.at("a"), "1");
}

TEST(SkinFile, LastLineWithoutLineEndAndLfOnlyFiles)
{
    SettingMap map;
    loadSettings(shiftLine("a=1") + "\n" + shiftLine("b=2"), true, false, map);
    EXPECT_EQ(map.at("a"), "1");
    EXPECT_EQ(map.at("b"), "2");
}

TEST(UserFile, LinesWithoutEqualsBecomeKeysAndReadBackStable)
{
    SettingMap map;
    loadSettings("menu_updatelist_status = 1\r\nlonely // note\r\n\r\n   \r\n\tkey\t= v\t\r\n", false, true, map);
    EXPECT_EQ(map.at("menu_updatelist_status"), "1");
    EXPECT_EQ(map.at("lonely // note"), "lonely");
    EXPECT_EQ(map.at("\tkey\t"), "v\t");  // only blanks are trimmed, tabs stay
    EXPECT_EQ(map.size(), 3u);

    SettingMap again;
    loadSettings(formatSettings(map), false, true, again);
    EXPECT_EQ(again, map);
}

TEST(UserFile, FormatSortsByKeyAndLeavesOutEntriesThatCannotReadBack)
{
    SettingMap map{{"b", "2"}, {"a", "1"}, {"Z", "0"}, {"long", std::string(300, 'x')}, {"bad", "x//y"}};
    EXPECT_EQ(formatSettings(map), "Z=0\na=1\nb=2\n");
}

TEST(VisibleText, HiddenAndControlCharactersAndBrokenUtf8BecomeAMark)
{
    const std::string mark = "\xEF\xBF\xBD";
    EXPECT_EQ(visibleText("invoice\xE2\x80\xAE" "fdp.exe"), "invoice" + mark + "fdp.exe");
    EXPECT_EQ(visibleText("a\xE2\x80\x8B" "b\xE2\x81\xA6" "c\xEF\xBB\xBF"), "a" + mark + "b" + mark + "c" + mark);
    EXPECT_EQ(visibleText("\x1b[2J\xC2\x9B\xFF"), mark + "[2J" + mark + mark);
    EXPECT_EQ(visibleText("火狐 firefox-bin"), "火狐 firefox-bin");
}

TEST(Colour, ComponentsRedFirstMissingAreZero)
{
    EXPECT_EQ(parseColor("255,0,0"), 255u);
    EXPECT_EQ(parseColor("0,128"), 32768u);
    EXPECT_EQ(parseColor("1,2,3"), 0x030201u);
    EXPECT_EQ(parseColor(""), 0u);
    EXPECT_EQ(parseColor("10,20,30,40"), 0x1E140Au);  // a fourth component does not count
    EXPECT_EQ(parseColor(" 255, 255 ,255"), 0xFFFFFFu);  // blanks around components are dropped
    EXPECT_EQ(parseColor("2550,0,0"), 255u);  // only the first three characters count
    EXPECT_EQ(parseColor("999,x,7"), (999u & 0xFF) | (7u << 16));
}
