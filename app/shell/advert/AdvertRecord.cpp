#include "shell/advert/AdvertRecord.h"

#include <algorithm>
#include <array>

namespace orvane {

namespace {

std::string_view trimmed(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

struct Slot {
    std::string AdvertRecord::*field;
    std::size_t whole;  // longest field kept whole
    std::size_t cut;    // length a longer field is cut to
};

constexpr std::array<Slot, 4> kSlots{{
    {&AdvertRecord::imageHost, 127, 126},
    {&AdvertRecord::imagePath, 511, 510},
    {&AdvertRecord::clickPage, 511, 510},
    {&AdvertRecord::helpPage, 510, 510},
}};

} // namespace

bool parseAdvertRecord(std::string_view body, AdvertRecord& out)
{
    if (body.empty() || body.size() >= kAdvertBodyLimit)
        return false;
    AdvertRecord record;
    std::string_view rest = body;
    bool more = true;
    for (const Slot& slot : kSlots) {
        if (!more)
            break;
        const std::size_t end = rest.find(';');
        more = end != std::string_view::npos;
        std::string_view field = trimmed(rest.substr(0, end));
        if (field.size() > slot.whole)
            field = field.substr(0, slot.cut);
        record.*slot.field = std::string(field);
        if (more)
            rest.remove_prefix(end + 1);
    }
    out = std::move(record);
    return true;
}

bool isPlainHostName(std::string_view text)
{
    if (text.empty() || text.size() > 253 || text.front() == '.' || text.back() == '.' ||
        text.find("..") != std::string_view::npos)
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    });
}

bool isPlainObjectPath(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 127; });
}

} // namespace orvane
