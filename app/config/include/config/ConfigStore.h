#pragma once

#include "config/SettingLine.h"
#include "config/UiLanguage.h"
#include "config/UserSettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumivex::config {

// The program's skin settings (config.dat), user switches (user.ini) and UI texts.
// GUI thread only. Returned text pointers stay valid until that entry is replaced or the
// store is destroyed; lookups of a missing key return the key pointer itself, lookups of a
// null key the text "NULL".
class ConfigStore {
public:
    // The process-wide store, created on first use from defaultDataDirectory() and
    // userConfigDirectory().
    static ConfigStore& instance();
    // The process-wide store, created on first use from the given folders (an existing store
    // is kept as it is). For a program or test that chooses its own data folder.
    static ConfigStore& instanceAt(std::string dataDir, std::string userDir);
    // The process-wide store when it exists, else null.
    static ConfigStore* existingInstance();
    // Writes user.ini and destroys the process-wide store (at exit).
    static void release();

    // Loads dataDir + "config.dat" and user.ini. dataDir ends with '/'. userDir is the
    // fallback folder for user.ini (empty: none): a user.ini there is read in preference to
    // the one in dataDir, and it is written there when dataDir is not writable.
    ConfigStore(std::string dataDir, std::string userDir);

    const std::string& dataDir() const { return m_dataDir; }

    const char* getText(const char* key) const;
    const char* getTextW(const char* key) const;
    // Copies a registered text, cut to size - 1 bytes at a character boundary and always
    // terminated. False (buffer untouched) for a null argument, size 0 or an unknown key.
    bool copyText(const char* key, char* buffer, std::size_t size) const;
    void setText(const char* key, const char* text);
    void setTextW(const char* key, const char* text);
    // The language the registered texts are in (Chinese until a language is chosen); see
    // useLanguage() in BuiltinTexts.h, which also registers the texts.
    Language language() const { return m_language; }
    void setLanguage(Language language) { m_language = language; }

    const char* getSkinValue(const char* key) const;
    // The skin value read as a decimal number; 0 when absent.
    int getSkinInt(const char* key) const;
    // 0x00BBGGRR; 0 (black) when the key is null or absent.
    std::uint32_t getSkinColor(const char* key) const;

    const char* getUserValue(const char* key) const;
    // True when getUserValue(key) reads as the number 1 (absent counts as off).
    bool getUserFlag(const char* key) const;
    // Inserts or replaces a user entry; it reaches the disk at saveUserSettings(). Refused
    // (false) for a null argument and for an entry that would not read back unchanged
    // (line breaks, "=" in the key, "//" in the value, surrounding blanks, over-long line).
    bool setUserValue(const char* key, const char* value);

    // Writes the user entries that changed to user.ini through a temporary file and a rename:
    // every other line of the file stays as it was read (comments, lines it does not
    // understand, long lines), changed entries take the place of their old lines, new ones
    // follow at the end in key order. In the folder user.ini was read from when that was the
    // fallback folder, else in the data folder, and in the fallback folder when the data
    // folder cannot be written. Nothing is written when nothing changed (true), nor over a
    // user.ini that could not be read whole (false, see skippedFiles()).
    bool saveUserSettings();
    // The file the last load read user.ini from (empty when none was found).
    const std::string& userSettingsSource() const { return m_userSource; }
    // Files present but not read (not a regular file, unreadable, too large), and those noted
    // by noteUnusableFile(), one sentence each.
    const std::vector<std::string>& skippedFiles() const { return m_skipped; }
    // A data file a reader outside the store (an image) could not use: a sentence naming its
    // path first.
    void noteUnusableFile(std::string sentence) { m_skipped.push_back(std::move(sentence)); }
    // Whether config.dat was there and read.
    bool skinFileFound() const { return m_skinFound; }

    const SettingMap& skinTable() const { return m_skin; }
    const SettingMap& userTable() const { return m_user; }
    const SettingMap& textTable() const { return m_texts; }
    const SettingMap& wideTextTable() const { return m_wideTexts; }

    // Copies at most size - 1 bytes of src (up to its NUL, never splitting a UTF-8
    // character) and terminates dst. Returns the position in src where copying stopped;
    // null when either pointer is null. With size 0 nothing is written and src is returned.
    static const char* boundedCopy(char* dst, const char* src, std::size_t size);

private:
    void loadUserSettings();

    std::string m_dataDir;
    std::string m_userDir;
    std::string m_userSource;
    UserSettingsFile m_userFile;         // user.ini as read, for writing it back
    SettingMap m_loadedUser;             // the user entries as read
    UserSettingsFile::KeySet m_changed;  // user entries set to a new value since
    bool m_userFileRefused = false;      // there, but not read: it is never written over
    bool m_skinFound = false;
    Language m_language = Language::Chinese;
    std::vector<std::string> m_skipped;
    SettingMap m_texts;
    SettingMap m_wideTexts;
    SettingMap m_skin;
    SettingMap m_user;
};

} // namespace lumivex::config
