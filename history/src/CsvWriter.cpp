#include "history/CsvWriter.h"

#include <cstdio>

#include "corekit/Utf8Text.h"

namespace history {

namespace {

// A control character other than TAB, CR and LF: C0, DEL and C1. None belongs in a name,
// and one could act on a terminal the file is shown on.
bool isControl(uint32_t c)
{
    return (c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

std::string cleanText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t n = 0;
        const uint32_t c = corekit::utf8CodePointAt(text, i, n);
        if (n == 0 || isControl(c)) {
            out += "\xEF\xBF\xBD";
        } else if (corekit::isFormatCharacter(c)) {
            // Written out, as the console and JSON outputs do: shown as it is, a right-to-left
            // override would make one name read as another.
            char escaped[12];
            std::snprintf(escaped, sizeof escaped, c > 0xFFFF ? "\\U%08x" : "\\u%04x", unsigned(c));
            out += escaped;
        } else {
            out.append(text, i, n);
        }
        i += n == 0 ? 1 : n;
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
