// config.dat (shifted) and user.ini (plain) readers. user.ini written back without changes is
// the file as read, byte for byte; with a changed entry it reads back as the same entries,
// the changed one with its new value.
#include "config/SettingLine.h"
#include "config/UserSettingsFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace lumivex::config;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    SettingMap skin;
    loadSettings(content, true, false, skin);
    for (const auto& [key, value] : skin)
        (void)parseColor(value);

    UserSettingsFile file;
    SettingMap user;
    file.load(content, user);
    if (file.text(user, {}) != content)
        std::abort();

    // Every entry that can be written, set anew: what is written reads back the same.
    SettingMap changed = user;
    UserSettingsFile::KeySet keys;
    for (auto& [key, value] : changed) {
        if (settingRoundTrips(key, "changed")) {
            value = "changed";
            keys.insert(key);
        }
    }
    keys.insert("added_key");
    changed["added_key"] = "1";
    SettingMap reread;
    UserSettingsFile again;
    again.load(file.text(changed, keys), reread);
    for (const std::string& key : keys)
        if (reread.count(key) == 0 || reread.at(key) != changed.at(key))
            std::abort();
    return 0;
}
