#include "config/LocationParsers.h"

#include "config/LineReader.h"
#include "config/ShiftedText.h"
#include "config/TextUtil.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace lumivex::config {

namespace {

// Section index named by a decoded ication.dat line, or -1 for a range line.
int sectionOf(std::string_view line)
{
    static constexpr std::string_view names[] = {"level zero", "level one", "level two", "level three"};
    for (int level = 0; level < 4; ++level) {
        if (line.find(names[level]) != std::string_view::npos)
            return level;
    }
    return -1;
}

std::optional<LocationRange> makeRange(std::string_view firstText, std::string_view lastText,
                                       std::string_view location, std::size_t textMax)
{
    const auto first = parseDottedQuad(trimBlanks(firstText));
    const auto last = parseDottedQuad(trimBlanks(lastText));
    if (!first || !last || *last < *first)
        return std::nullopt;
    LocationRange range;
    range.first = *first;
    range.last = *last;
    const std::size_t length = utf8PrefixLength(location.substr(0, location.find('\0')), textMax);
    std::memcpy(range.text, location.data(), length);
    return range;
}

// "first-last[text]" of ication.dat: "-" after the first byte, "[" after the "-", the text up
// to the first "]" or the end of the line; all three parts trimmed of blanks.
std::optional<LocationRange> parseDatabaseRange(std::string_view line)
{
    const std::size_t dash = line.find('-');
    if (dash == std::string_view::npos || dash == 0)
        return std::nullopt;
    const std::size_t open = line.find('[', dash + 1);
    if (open == std::string_view::npos)
        return std::nullopt;
    const std::size_t close = line.find(']', open + 1);
    const std::string_view text =
        line.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
    return makeRange(line.substr(0, dash), line.substr(dash + 1, open - dash - 1), trimBlanks(text),
                     kDatabaseTextMax);
}

// "first - last[text]" of ipanother.txt; every one of "-", "[" and "]" is required.
std::optional<LocationRange> parseSupplementaryRange(std::string_view line)
{
    const std::size_t dash = line.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const std::size_t open = line.find('[', dash + 1);
    if (open == std::string_view::npos)
        return std::nullopt;
    const std::size_t close = line.find(']', open + 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    return makeRange(line.substr(0, dash), line.substr(dash + 1, open - dash - 1),
                     line.substr(open + 1, close - open - 1), kSupplementaryTextMax);
}

} // namespace

LocationLoad parseLocationDatabase(std::string_view content, std::array<LocationTable, 4>& levels)
{
    LocationLoad result;
    LineReader reader(content, kDatabaseLineMax);
    int section = -1;
    std::string_view raw;
    while (reader.nextLine(raw, result.overLong)) {
        const std::string line = unshiftLine(raw);
        const int named = sectionOf(line);
        if (named >= 0) {
            section = named;
            continue;
        }
        const auto range = parseDatabaseRange(line);
        if (!range) {
            if (!trimBlanks(line).empty())
                ++result.ignored;
            continue;
        }
        if (section < 0 || result.records >= kDatabaseRecordLimit) {
            ++result.ignored;
            continue;
        }
        levels[static_cast<std::size_t>(section)].add(*range);
        ++result.records;
    }
    return result;
}

LocationLoad parseSupplementary(std::string_view content, LocationTable& list)
{
    LocationLoad result;
    if (content.size() <= 1)
        return result;
    // Lines are at least 17 bytes ("0.0.0.0-0.0.0.0[]" plus a line end).
    list.reserve(std::min(kSupplementaryLimit, content.size() / 17 + 1));
    std::size_t position = 1;
    while (position < content.size()) {
        std::size_t end = content.find_first_of("\r\n", position);
        if (end == std::string_view::npos)
            end = content.size();
        const std::string_view line = content.substr(position, end - position);
        position = end + 1;
        if (end < content.size() && content[end] == '\r' && position < content.size() && content[position] == '\n')
            ++position;
        const auto range = parseSupplementaryRange(line);
        if (!range) {
            if (!trimBlanks(line).empty())
                ++result.ignored;
            continue;
        }
        if (result.records >= kSupplementaryLimit) {
            ++result.ignored;
            continue;
        }
        list.add(*range);
        ++result.records;
    }
    return result;
}

} // namespace lumivex::config
