#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// The "key = value // comment" line syntax shared by config.dat and user.ini.
namespace lumivex::config {

using SettingMap = std::map<std::string, std::string, std::less<>>;

// Longest line text (without its line end) the settings files may hold.
inline constexpr std::size_t kSettingLineMax = 254;

struct Setting {
    std::string key;
    std::string value;
};

// Splits a decoded line at its first "=": the key before it, the value after it up to the
// first "//", both trimmed of blanks. A line without "=" is no setting unless wholeLineKey is
// set (user.ini), in which case the whole trimmed line is the key and its text before any
// "//" the value. Nothing when the trimmed key is empty.
std::optional<Setting> parseSettingLine(std::string_view line, bool wholeLineKey);

struct SettingsLoad {
    std::size_t entries = 0;  // lines that set a value
    bool overLong = false;    // reading stopped at a line longer than kSettingLineMax
};

// Reads every line of a settings file into map (later lines replace earlier values). shifted
// selects the byte-shifted encoding of config.dat; wholeLineKey the user.ini rule for lines
// without "=".
SettingsLoad loadSettings(std::string_view content, bool shifted, bool wholeLineKey, SettingMap& map);

// True when "key=value" is a line that reads back as exactly this key and value, so writing it
// cannot lose or corrupt this or any later entry.
bool settingRoundTrips(std::string_view key, std::string_view value);

// Text of a user.ini file holding every entry that round-trips, one "key=value" line each, in
// ascending byte order of the keys.
std::string formatSettings(const SettingMap& map);

// "r,g,b" (decimal, red first) to 0x00BBGGRR. Each component is trimmed of blanks and read
// from its first three characters; missing components are 0; components past the third are
// ignored; each is masked to 8 bits.
std::uint32_t parseColor(std::string_view value);

} // namespace lumivex::config
