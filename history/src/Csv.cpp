#include "history/Csv.h"

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

std::string dottedAddress(uint32_t a)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 255, (a >> 8) & 255, a & 255);
    return text;
}

std::string programLabel(const ProgramUsage& p)
{
    if (p.id == 0)
        return "(other programs)";
    return p.name.empty() ? "(no program)" : p.name;
}

std::string hostLabel(const HostUsage& h)
{
    return h.otherHosts ? "(other hosts)" : dottedAddress(h.address);
}

std::string locationLabel(const LocationUsage& l)
{
    if (l.otherHosts)
        return "(other hosts)";
    return l.location.empty() ? "(unknown)" : l.location;
}

std::string programsCsv(const std::vector<ProgramUsage>& rows)
{
    std::string out;
    CsvWriter csv(out);
    for (const char* h : {"program", "path", "received", "sent", "total", "share", "packets_received", "packets_sent",
                          "disk_read", "disk_written"})
        csv.text(h);
    csv.endRow();
    for (const ProgramUsage& p : rows) {
        csv.text(programLabel(p)).text(p.path);
        csv.number(p.net.received).number(p.net.sent).number(p.net.total()).number(p.share, 4);
        csv.number(p.net.packetsReceived).number(p.net.packetsSent).number(p.diskRead).number(p.diskWritten);
        csv.endRow();
    }
    return out;
}

std::string hostsCsv(const std::vector<HostUsage>& rows)
{
    std::string out;
    CsvWriter csv(out);
    for (const char* h : {"address", "dns_name", "location", "received", "sent", "total", "share", "programs",
                          "packets_received", "packets_sent"})
        csv.text(h);
    csv.endRow();
    for (const HostUsage& r : rows) {
        csv.text(hostLabel(r)).text(r.dnsName).text(r.location);
        csv.number(r.net.received).number(r.net.sent).number(r.net.total()).number(r.share, 4);
        csv.number(uint64_t(r.programs)).number(r.net.packetsReceived).number(r.net.packetsSent);
        csv.endRow();
    }
    return out;
}

std::string locationsCsv(const std::vector<LocationUsage>& rows)
{
    std::string out;
    CsvWriter csv(out);
    for (const char* h : {"location", "received", "sent", "total", "share", "hosts"})
        csv.text(h);
    csv.endRow();
    for (const LocationUsage& r : rows) {
        csv.text(locationLabel(r));
        csv.number(r.net.received).number(r.net.sent).number(r.net.total()).number(r.share, 4).number(uint64_t(r.hosts));
        csv.endRow();
    }
    return out;
}

std::string seriesCsv(const std::vector<SeriesPoint>& points)
{
    std::string out;
    CsvWriter csv(out);
    for (const char* h : {"from", "to", "received", "sent", "total"})
        csv.text(h);
    csv.endRow();
    for (const SeriesPoint& p : points) {
        csv.text(formatLocal(p.from)).text(formatLocal(p.to));
        csv.number(p.net.received).number(p.net.sent).number(p.net.total());
        csv.endRow();
    }
    return out;
}

} // namespace history
