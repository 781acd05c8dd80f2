#include "config/UserSettingsFile.h"

namespace lumivex::config {

std::size_t UserSettingsFile::load(std::string_view content, SettingMap& map)
{
    m_lines.clear();
    std::size_t entries = 0;
    for (std::size_t position = 0; position < content.size();) {
        std::size_t end = content.find('\n', position);
        Line line;
        if (end == std::string_view::npos) {
            line.text = content.substr(position);
            position = content.size();
        } else {
            line.text = content.substr(position, end - position);
            line.end = "\n";
            position = end + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r' && !line.end.empty()) {
            line.text.pop_back();
            line.end = "\r\n";
        }
        // A NUL ends what the line says, as it ends a C string; the bytes after it are kept.
        const std::string_view said = std::string_view(line.text).substr(0, line.text.find('\0'));
        if (auto setting = parseSettingLine(said, true)) {
            line.key = setting->key;
            map.insert_or_assign(std::move(setting->key), std::move(setting->value));
            ++entries;
        }
        m_lines.push_back(std::move(line));
    }
    return entries;
}

std::string UserSettingsFile::text(const SettingMap& map, const KeySet& changed) const
{
    std::string out;
    const auto written = [&map](const std::string& key) -> const std::string* {
        const auto found = map.find(key);
        return found != map.end() && settingRoundTrips(key, found->second) ? &found->second : nullptr;
    };
    KeySet placed;
    std::string lineEnd = "\n";
    for (const Line& line : m_lines) {
        if (line.end == "\r\n")
            lineEnd = line.end;
        const std::string* value = line.key.empty() || !changed.count(line.key) ? nullptr : written(line.key);
        if (value) {
            // A comment after the value stays with it.
            const std::size_t equals = line.text.find('=');
            const std::size_t comment = equals == std::string::npos ? equals : line.text.find("//", equals);
            const std::string tail = comment == std::string::npos ? std::string() : " " + line.text.substr(comment);
            out += line.key + "=" + *value + tail + line.end;
            placed.insert(line.key);
        } else {
            out += line.text + line.end;
        }
    }
    std::string appended;
    for (const std::string& key : changed) {
        if (placed.count(key))
            continue;
        if (const std::string* value = written(key))
            appended += key + "=" + *value + lineEnd;
    }
    if (!appended.empty() && !m_lines.empty() && m_lines.back().end.empty())
        out += lineEnd;  // the last line had none: the appended ones start on a line of their own
    return out + appended;
}

} // namespace lumivex::config
