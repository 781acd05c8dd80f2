#include "config/SettingLine.h"

#include "config/LineReader.h"
#include "config/ShiftedText.h"
#include "config/TextUtil.h"

namespace lumivex::config {

namespace {

std::string_view beforeComment(std::string_view text)
{
    const std::size_t comment = text.find("//");
    return comment == std::string_view::npos ? text : text.substr(0, comment);
}

} // namespace

std::optional<Setting> parseSettingLine(std::string_view line, bool wholeLineKey)
{
    const std::size_t equals = line.find('=');
    std::string_view key;
    std::string_view value;
    if (equals == std::string_view::npos) {
        if (!wholeLineKey)
            return std::nullopt;
        key = trimBlanks(line);
        value = trimBlanks(beforeComment(line));
    } else {
        key = trimBlanks(line.substr(0, equals));
        value = trimBlanks(beforeComment(line.substr(equals + 1)));
    }
    if (key.empty())
        return std::nullopt;
    return Setting{std::string(key), std::string(value)};
}

SettingsLoad loadSettings(std::string_view content, bool shifted, bool wholeLineKey, SettingMap& map)
{
    SettingsLoad result;
    LineReader reader(content, kSettingLineMax);
    std::string_view raw;
    while (reader.nextLine(raw, result.overLong)) {
        std::string decoded = shifted ? unshiftLine(raw) : std::string(raw.substr(0, raw.find('\0')));
        if (auto setting = parseSettingLine(decoded, wholeLineKey)) {
            map.insert_or_assign(std::move(setting->key), std::move(setting->value));
            ++result.entries;
        }
    }
    return result;
}

bool settingRoundTrips(std::string_view key, std::string_view value)
{
    if (key.empty() || key.size() + 1 + value.size() > kSettingLineMax)
        return false;
    if (trimBlanks(key) != key || trimBlanks(value) != value)
        return false;
    constexpr std::string_view lineBreaking("\r\n\0", 3);
    if (key.find_first_of(lineBreaking) != std::string_view::npos || key.find('=') != std::string_view::npos)
        return false;
    if (value.find_first_of(lineBreaking) != std::string_view::npos || value.find("//") != std::string_view::npos)
        return false;
    return true;
}

std::string formatSettings(const SettingMap& map)
{
    std::string text;
    for (const auto& [key, value] : map) {
        if (!settingRoundTrips(key, value))
            continue;
        text += key;
        text += '=';
        text += value;
        text += '\n';
    }
    return text;
}

std::uint32_t parseColor(std::string_view value)
{
    std::uint32_t components[3] = {0, 0, 0};
    std::size_t start = 0;
    for (int index = 0; index < 3 && start <= value.size(); ++index) {
        std::size_t comma = value.find(',', start);
        if (comma == std::string_view::npos)
            comma = value.size();
        const std::string_view part = trimBlanks(value.substr(start, comma - start)).substr(0, 3);
        components[index] = static_cast<std::uint32_t>(decimalPrefix(part)) & 0xFF;
        start = comma + 1;
    }
    return components[0] | (components[1] << 8) | (components[2] << 16);
}

} // namespace lumivex::config
