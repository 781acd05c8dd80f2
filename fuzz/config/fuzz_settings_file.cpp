// config.dat (shifted) and user.ini (plain) readers; what a user.ini save writes must read
// back as the same entries.
#include "config/SettingLine.h"

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

    SettingMap user;
    loadSettings(content, false, true, user);
    SettingMap kept;
    for (const auto& [key, value] : user) {
        if (settingRoundTrips(key, value))
            kept.emplace(key, value);
    }
    SettingMap reread;
    loadSettings(formatSettings(user), false, true, reread);
    if (reread != kept)
        std::abort();
    return 0;
}
