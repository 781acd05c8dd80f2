#include "config/TextUtil.h"

#include <cstdio>
#include <limits>

namespace lumivex::config {

std::string_view trimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::size_t utf8PrefixLength(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text.size();
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t length = corekit::utf8SequenceLength(static_cast<unsigned char>(text[position]));
        if (position + length > maxBytes)
            break;
        position += length;
    }
    return position;
}

std::optional<std::uint32_t> parseDottedQuad(std::string_view text)
{
    std::uint32_t address = 0;
    std::size_t position = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (position >= text.size() || text[position] != '.')
                return std::nullopt;
            ++position;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (position < text.size() && text[position] >= '0' && text[position] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[position] - '0');
            ++position;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return std::nullopt;
        address = (address << 8) | value;
    }
    if (position != text.size())
        return std::nullopt;
    return address;
}

void formatDottedQuad(std::uint32_t address, char (&out)[16])
{
    std::snprintf(out, sizeof out, "%u.%u.%u.%u", (address >> 24) & 0xFF, (address >> 16) & 0xFF,
                  (address >> 8) & 0xFF, address & 0xFF);
}

long long decimalPrefix(std::string_view text)
{
    std::size_t position = 0;
    while (position < text.size() && (text[position] == ' ' || (text[position] >= '\t' && text[position] <= '\r')))
        ++position;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    constexpr long long limit = std::numeric_limits<long long>::max() / 10 - 10;
    long long value = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
        if (value < limit)
            value = value * 10 + (text[position] - '0');
        ++position;
    }
    return negative ? -value : value;
}

std::string visibleText(std::string_view text)
{
    static constexpr std::string_view kMark = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 0;
        const std::uint32_t c = utf8CodePointAt(text, i, length);
        const bool hidden = length == 0 || c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || isFormatCharacter(c);
        if (hidden)
            out += kMark;
        else
            out.append(text, i, length);
        i += length == 0 ? 1 : length;
    }
    return out;
}

} // namespace lumivex::config
