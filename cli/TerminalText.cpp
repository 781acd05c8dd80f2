#include "TerminalText.h"

#include <cstdint>
#include <algorithm>
#include <cstdio>

#include "config/TextUtil.h"

namespace {

uint32_t codePointAt(std::string_view text, size_t i, size_t length)
{
    const auto byte = [&](size_t k) { return uint32_t(static_cast<unsigned char>(text[i + k])); };
    switch (length) {
    case 1: return byte(0);
    case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default: return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
    }
}

// East Asian wide and fullwidth ranges (the common ones), which terminals draw two columns wide.
bool isWide(uint32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
           (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

size_t utf8SequenceAt(std::string_view text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if (i >= text.size())
        return 0;
    const unsigned char c = byte(0);
    if (c < 0x80)
        return 1;
    const size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((byte(k) & 0xC0) != 0x80)
            return 0;
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    if ((c == 0xE0 && byte(1) < 0xA0) || (c == 0xED && byte(1) > 0x9F) || (c == 0xF0 && byte(1) < 0x90) ||
        (c == 0xF4 && byte(1) > 0x8F))
        return 0;
    return length;
}

std::string terminalSafe(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const auto escape = [&out](uint32_t c) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(c));
        out += buf;
    };
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8SequenceAt(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        const uint32_t c = codePointAt(text, i, length);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
            escape(c);
        } else if (lumivex::config::isFormatCharacter(c)) {
            char buf[12];
            std::snprintf(buf, sizeof buf, c > 0xFFFF ? "\\U%08x" : "\\u%04x", unsigned(c));
            out += buf;
        } else if (c == '\\')
            out += "\\\\";
        else
            out.append(text, i, length);
        i += length;
    }
    return out;
}

int displayWidth(std::string_view safeText)
{
    int columns = 0;
    for (size_t i = 0; i < safeText.size();) {
        const size_t length = utf8SequenceAt(safeText, i);
        if (length == 0) {
            ++columns;
            ++i;
            continue;
        }
        columns += isWide(codePointAt(safeText, i, length)) ? 2 : 1;
        i += length;
    }
    return columns;
}

std::string fitColumn(std::string_view safeText, int width)
{
    std::string out;
    int used = 0;
    for (size_t i = 0; i < safeText.size();) {
        const size_t length = std::max<size_t>(utf8SequenceAt(safeText, i), 1);
        const int columns = displayWidth(safeText.substr(i, length));
        if (used + columns > width)
            break;
        out.append(safeText, i, length);
        used += columns;
        i += length;
    }
    if (width > used)
        out.append(size_t(width - used), ' ');
    return out;
}
