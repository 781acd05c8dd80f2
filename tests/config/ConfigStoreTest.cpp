#include "TempFolder.h"

#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"
#include "config/DataDirectory.h"
#include "config/ShiftedText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace lumivex::config;

TEST(ConfigStore, MissingFilesGiveKeysZeroBlackAndOff)
{
    TempFolder data;
    ConfigStore store(data.path(), "");
    EXPECT_STREQ(store.getSkinValue("sh_titlebar"), "sh_titlebar");
    EXPECT_EQ(store.getSkinInt("sh_titlebar"), 0);
    EXPECT_EQ(store.getSkinColor("cbk_orvaneview"), 0u);
    EXPECT_EQ(store.getSkinColor(nullptr), 0u);
    EXPECT_STREQ(store.getUserValue("memu_float_staus"), "memu_float_staus");
    EXPECT_FALSE(store.getUserFlag("memu_float_staus"));
    EXPECT_STREQ(store.getUserValue(nullptr), "NULL");
    EXPECT_TRUE(store.userSettingsSource().empty());
}

TEST(ConfigStore, ReadsShiftedSkinAndPlainUserFile)
{
    TempFolder data;
    data.write("config.dat", shiftLine("sh_titlebar = 30 // title") + "\r\n" + shiftLine("c_frmborder=255,0,0") + "\r\n");
    data.write("user.ini", "menu_updatelist_status=1\r\nmemu_float_staus=yes\r\n");
    ConfigStore store(data.path(), "");
    EXPECT_EQ(store.getSkinInt("sh_titlebar"), 30);
    EXPECT_EQ(store.getSkinColor("c_frmborder"), 255u);
    EXPECT_TRUE(store.getUserFlag("menu_updatelist_status"));
    EXPECT_FALSE(store.getUserFlag("memu_float_staus"));
}

TEST(ConfigStore, TextLookupsFallBackToTheKey)
{
    TempFolder data;
    ConfigStore store(data.path(), "");
    registerBuiltinTexts(store);
    EXPECT_STREQ(store.getText("unknown"), "未知");
    EXPECT_STREQ(store.getText("no_such_text"), "no_such_text");
    EXPECT_STREQ(store.getText(nullptr), "NULL");
    EXPECT_STREQ(store.getTextW("tcp_all_bytes"), "TCP流量");
    EXPECT_STREQ(store.getTextW("unknown"), "unknown");  // narrow texts are not in the wide table
    EXPECT_STREQ(store.getTextW(nullptr), "NULL");
    store.setText("unknown", nullptr);
    store.setText("unknown", "?");
    EXPECT_STREQ(store.getText("unknown"), "?");
}

TEST(ConfigStore, BuiltinTableHoldsEveryTextInOrderInBothLanguages)
{
    const auto texts = builtinTexts();
    ASSERT_GE(texts.size(), 140u);
    std::size_t wide = 0;
    for (const BuiltinText& text : texts)
        wide += text.wide ? 1 : 0;
    EXPECT_EQ(wide, 13u);
    EXPECT_STREQ(texts.front().key, "only_os_xp");
    EXPECT_STREQ(texts[26].key, "topn_tabwnd_name");
    EXPECT_TRUE(texts[26].wide);
    EXPECT_STREQ(texts[138].key, "ipinfo_wnd_memo_content");
    EXPECT_STREQ(texts[139].key, "data_files_unusable");

    TempFolder data;
    ConfigStore store(data.path(), "");
    registerBuiltinTexts(store);
    EXPECT_EQ(store.language(), Language::Chinese);
    EXPECT_EQ(store.textTable().size(), texts.size() - wide);
    EXPECT_EQ(store.wideTextTable().size(), wide);
    EXPECT_STREQ(store.getText("advert_free_ver_descr"), "Lumivex V3.0 免费版 \r\n 联系方式：");
    EXPECT_STREQ(store.getTextW("tcp_all_bytes"), "TCP流量");

    // Switching replaces every text, narrow and wide, and adds none.
    useLanguage(store, Language::English);
    EXPECT_EQ(store.textTable().size(), texts.size() - wide);
    EXPECT_STREQ(store.getText("remoteip"), "Remote address");
    EXPECT_STREQ(store.getTextW("tcp_all_bytes"), "TCP bytes");
    useLanguage(store, Language::Chinese);
    EXPECT_STREQ(store.getText("remoteip"), "远程IP地址");
}

TEST(ConfigStore, LanguageFollowsTheLocaleUnlessUserIniFixesIt)
{
    // LC_ALL before LC_MESSAGES before LANG; an empty variable counts as unset.
    EXPECT_EQ(languageOfLocale(nullptr, nullptr, "zh_CN.UTF-8"), Language::Chinese);
    EXPECT_EQ(languageOfLocale("en_US.UTF-8", nullptr, "zh_CN.UTF-8"), Language::English);
    EXPECT_EQ(languageOfLocale("", "zh_TW.UTF-8", "en_GB.UTF-8"), Language::Chinese);
    EXPECT_EQ(languageOfLocale(nullptr, "", "zh"), Language::Chinese);
    EXPECT_EQ(languageOfLocale(nullptr, nullptr, nullptr), Language::English);
    EXPECT_EQ(languageOfLocale("C", nullptr, "zh_CN.UTF-8"), Language::English);
    EXPECT_EQ(languageOfLocale(nullptr, nullptr, "de_DE.UTF-8"), Language::English);

    TempFolder data;
    data.write("user.ini", "language=en\n");
    EXPECT_EQ(chosenLanguage(ConfigStore(data.path(), "")), Language::English);
    data.write("user.ini", "language=zh\n");
    EXPECT_EQ(chosenLanguage(ConfigStore(data.path(), "")), Language::Chinese);
    // "auto" (the menu's choice of the system's language) and nonsense follow the locale.
    data.write("user.ini", "language=auto\n");
    EXPECT_EQ(chosenLanguage(ConfigStore(data.path(), "")), languageOfEnvironment());
    data.write("user.ini", "language=klingon\n");
    EXPECT_EQ(chosenLanguage(ConfigStore(data.path(), "")), languageOfEnvironment());
}

TEST(ConfigStore, CopyTextCutsAtACharacterBoundary)
{
    TempFolder data;
    ConfigStore store(data.path(), "");
    store.setText("k", "ab未知");  // 2 + 3 + 3 bytes
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(store.copyText("missing", buffer, sizeof buffer));
    EXPECT_FALSE(store.copyText("k", buffer, 0));
    EXPECT_EQ(buffer[0], '#');
    EXPECT_TRUE(store.copyText("k", buffer, 7));  // room for 6 bytes: "ab" plus one character
    EXPECT_STREQ(buffer, "ab未");
    EXPECT_TRUE(store.copyText("k", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "ab未知");
}

TEST(ConfigStore, BoundedCopyReportsWhereItStopped)
{
    char buffer[4];
    const char* source = "abcdef";
    EXPECT_EQ(ConfigStore::boundedCopy(buffer, source, sizeof buffer), source + 3);
    EXPECT_STREQ(buffer, "abc");
    const char* shortSource = "ab";
    EXPECT_EQ(ConfigStore::boundedCopy(buffer, shortSource, sizeof buffer), shortSource + 2);
    EXPECT_STREQ(buffer, "ab");
    const char* wideSource = "a未";
    EXPECT_EQ(ConfigStore::boundedCopy(buffer, wideSource, 3), wideSource + 1);  // no half character
    EXPECT_STREQ(buffer, "a");
    EXPECT_EQ(ConfigStore::boundedCopy(nullptr, source, 4), nullptr);
    EXPECT_EQ(ConfigStore::boundedCopy(buffer, nullptr, 4), nullptr);
    EXPECT_EQ(ConfigStore::boundedCopy(buffer, source, 0), source);
}

TEST(ConfigStore, UserSettingsKeepEveryLineTheyDoNotChange)
{
    TempFolder data;
    const std::string longLine = "long=" + std::string(300, 'x');
    const std::string original = "zeta=9\r\n# note\r\n// old comment\r\n\r\nalpha = 1 // first\r\n" + longLine +
                                 "\r\nbytes=\xff\xfe" + std::string("\0after", 6) + "\r\nmemu_float_staus=1";
    data.write("user.ini", original);
    {
        ConfigStore store(data.path(), "");
        EXPECT_EQ(store.getUserValue("long"), std::string(300, 'x'));
        EXPECT_TRUE(store.setUserValue("memu_float_staus", "1"));  // as it was: nothing to write
        ASSERT_TRUE(store.saveUserSettings());
        EXPECT_EQ(data.read("user.ini"), original);
        EXPECT_TRUE(store.setUserValue("memu_float_staus", "0"));
        EXPECT_TRUE(store.setUserValue("alpha", "2"));
        EXPECT_TRUE(store.setUserValue("new_key", "3"));
        EXPECT_FALSE(store.setUserValue("evil", "1\nmenu_updatelist_status=1"));
        EXPECT_FALSE(store.setUserValue("a=b", "1"));
        EXPECT_FALSE(store.setUserValue(nullptr, "1"));
        ASSERT_TRUE(store.saveUserSettings());
    }
    EXPECT_EQ(data.read("user.ini"), "zeta=9\r\n# note\r\n// old comment\r\n\r\nalpha=2 // first\r\n" + longLine +
                                         "\r\nbytes=\xff\xfe" + std::string("\0after", 6) +
                                         "\r\nmemu_float_staus=0\r\nnew_key=3\r\n");
    ConfigStore again(data.path(), "");
    EXPECT_STREQ(again.getUserValue("memu_float_staus"), "0");
    EXPECT_STREQ(again.getUserValue("alpha"), "2");
    EXPECT_STREQ(again.getUserValue("# note"), "# note");
    for (const auto& entry : std::filesystem::directory_iterator(data.path()))
        EXPECT_EQ(entry.path().filename(), "user.ini");  // no temporary file left behind
}

TEST(ConfigStore, UserFileTooLargeOrUnreadableIsLeftAsItIs)
{
    TempFolder data;
    const std::string huge = "k=v\n" + std::string(6u << 20, '#');
    data.write("user.ini", huge);
    ConfigStore store(data.path(), "");
    EXPECT_STREQ(store.getUserValue("k"), "k");  // not read
    ASSERT_EQ(store.skippedFiles().size(), 1u);
    EXPECT_NE(store.skippedFiles()[0].find("user.ini is larger than 4 MB"), std::string::npos);
    store.setUserValue("k", "w");
    EXPECT_FALSE(store.saveUserSettings());
    EXPECT_EQ(data.read("user.ini"), huge);

    TempFolder other;
    std::filesystem::create_directory(other.path() + "user.ini");
    ConfigStore folder(other.path(), "");
    folder.setUserValue("k", "w");
    EXPECT_FALSE(folder.saveUserSettings());
    EXPECT_TRUE(std::filesystem::is_directory(other.path() + "user.ini"));
}

TEST(ConfigStore, UnwritableDataFolderKeepsSettingsInTheUserFolder)
{
    TempFolder home;
    const std::string missingData = home.path() + "not-there/dat/";
    const std::string userDir = home.path() + "config/lumivex";
    {
        ConfigStore store(missingData, userDir);
        store.setUserValue("menu_updatelist_status", "1");
        ASSERT_TRUE(store.saveUserSettings());
    }
    EXPECT_EQ(home.read("config/lumivex/user.ini"), "menu_updatelist_status=1\n");

    // The fallback copy is read first from now on, and written back to the same place.
    TempFolder data;
    data.write("user.ini", "menu_updatelist_status=0\n");
    ConfigStore store(data.path(), userDir);
    EXPECT_TRUE(store.getUserFlag("menu_updatelist_status"));
    EXPECT_EQ(store.userSettingsSource(), userDir + "/user.ini");
    store.setUserValue("memu_float_staus", "1");
    ASSERT_TRUE(store.saveUserSettings());
    EXPECT_EQ(data.read("user.ini"), "menu_updatelist_status=0\n");
    EXPECT_EQ(home.read("config/lumivex/user.ini"), "menu_updatelist_status=1\nmemu_float_staus=1\n");
}

// The user folder is the system's own place for settings, whatever characters its path has.
TEST(ConfigStore, TheUserFolderIsTheSystemsPlaceForSettings)
{
#ifdef _WIN32
    const std::wstring saved = _wgetenv(L"APPDATA") ? _wgetenv(L"APPDATA") : L"";
    ASSERT_EQ(_wputenv_s(L"APPDATA", L"C:\\Users\\\u674e\u56db\\AppData\\Roaming"), 0);  // 李四
    EXPECT_EQ(userConfigDirectory(), "C:\\Users\\\xE6\x9D\x8E\xE5\x9B\x9B\\AppData\\Roaming\\lumivex");
    _wputenv_s(L"APPDATA", saved.c_str());
#else
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", "/tmp/\xE6\x9D\x8E\xE5\x9B\x9B/config", 1);
    EXPECT_EQ(userConfigDirectory(), "/tmp/\xE6\x9D\x8E\xE5\x9B\x9B/config/lumivex");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: the default under HOME
    if (const char* home = std::getenv("HOME")) {
        EXPECT_EQ(userConfigDirectory(), std::string(home) + "/.config/lumivex");
    }
    if (saved)
        setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
#endif
}

TEST(ConfigStore, NoWritablePlaceReportsFailure)
{
    TempFolder home;
    ConfigStore store(home.path() + "missing/", "");
    store.setUserValue("k", "v");
    EXPECT_FALSE(store.saveUserSettings());
}

TEST(ConfigStore, BrokenFixtureFilesLoadWhatTheyCan)
{
    const std::string folder = std::string(LUMIVEX_TEST_DATA) + "/config/broken/";
    ConfigStore store(folder, "");
    EXPECT_EQ(store.getSkinInt("sh_titlebar"), 24);
    EXPECT_EQ(store.getSkinColor("c_frmborder"), 0x0C9C00u);
    EXPECT_EQ(store.getSkinInt("sh_statusbar"), 0);  // after the over-long line
    EXPECT_TRUE(store.getUserFlag("menu_updatelist_status"));
}
