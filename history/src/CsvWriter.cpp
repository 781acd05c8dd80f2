#include "history/CsvWriter.h"

#include <cstdio>

namespace history {

namespace {

// Length of the valid UTF-8 sequence at text[i], 0 when none starts there.
size_t utf8Length(std::string_view text, size_t i)
{
    const auto byte = [&](size_t k) { return uint8_t(text[k]); };
    const uint8_t b = byte(i);
    if (b < 0x80)
        return 1;
    size_t n;
    uint32_t cp;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}

// A control character other than TAB, CR and LF: C0, DEL and C1. None belongs in a name,
// and one could act on a terminal the file is shown on.
bool isControl(std::string_view text, size_t i, size_t n)
{
    const uint8_t c = uint8_t(text[i]);
    if (n == 1)
        return (c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F;
    return n == 2 && c == 0xC2 && uint8_t(text[i + 1]) < 0xA0;
}

std::string cleanText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t n = utf8Length(text, i);
        if (n && isControl(text, i, n)) {
            out += "\xEF\xBF\xBD";
            i += n;
            continue;
        }
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

} // namespace

void CsvWriter::separate()
{
    if (m_rowStarted)
        m_out += ',';
    m_rowStarted = true;
}

CsvWriter& CsvWriter::text(std::string_view cell)
{
    separate();
    std::string value = cleanText(cell);
    if (!value.empty() && (value[0] == '=' || value[0] == '+' || value[0] == '-' || value[0] == '@' ||
                           value[0] == '\t' || value[0] == '\r'))
        value.insert(value.begin(), '\'');
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        m_out += value;
        return *this;
    }
    m_out += '"';
    for (char c : value) {
        if (c == '"')
            m_out += '"';
        m_out += c;
    }
    m_out += '"';
    return *this;
}

CsvWriter& CsvWriter::number(uint64_t value)
{
    separate();
    m_out += std::to_string(value);
    return *this;
}

CsvWriter& CsvWriter::number(double value, int decimals)
{
    separate();
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    m_out += text;
    return *this;
}

void CsvWriter::endRow()
{
    m_out += "\r\n";
    m_rowStarted = false;
}

} // namespace history
