#pragma once

#include "config/SettingLine.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lumivex::config {

// The text of user.ini as it was read, so that writing it back loses nothing: every line
// stays exactly as it was (comments, blank lines, lines of any length, bytes it does not
// understand, its line ends) except the lines of the settings that changed.
class UserSettingsFile {
public:
    using KeySet = std::set<std::string, std::less<>>;

    // Takes the file's text and reads every setting in it into map (later lines replace
    // earlier values; a line without "=" is a key of its own, as parseSettingLine says).
    // Returns the number of lines that set a value.
    std::size_t load(std::string_view content, SettingMap& map);

    // The text to write: each line that sets one of the changed keys now reads key=value
    // with the map's value (and the comment it had after its value), and the changed keys that no line held follow at the end, one
    // line each in key order. Entries that would not read back unchanged are left out.
    std::string text(const SettingMap& map, const KeySet& changed) const;

private:
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\n", "\r\n", or "" for a last line without one
        std::string key;   // the key it sets; empty for none
    };
    std::vector<Line> m_lines;
};

} // namespace lumivex::config
