#include "Report.h"

#include <cinttypes>
#include <utility>

#include "capengine/XEngine.h"

namespace {

// Pads or cuts text to a terminal width, counting East Asian characters as two columns and
// never splitting a UTF-8 sequence.
std::string fitColumn(const std::string& text, int width)
{
    std::string out;
    int used = 0;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        const int columns = c >= 0xE2 ? 2 : 1;  // U+2000 and up: CJK and other wide scripts
        if (used + columns > width || i + len > text.size())
            break;
        out.append(text, i, len);
        used += columns;
        i += len;
    }
    out.append(size_t(width - used), ' ');
    return out;
}

void printTable(std::FILE* out, const TrafficTable& t, int limit)
{
    std::fprintf(out, "\n%s: %zu remote addresses\n", t.name.c_str(), t.rows.size());
    if (t.rows.empty())
        return;
    std::fprintf(out, "%-15s %5s  %-28s %-10s %10s %10s %8s %8s %7s  %s\n", "Address", "Port", "DNS name",
                 "Location", "Sent", "Received", "Pkts out", "Pkts in", "Idle s", "Program");
    int shown = 0;
    for (const TrafficRow& row : t.rows) {
        if (limit > 0 && shown++ >= limit) {
            std::fprintf(out, "... %zu more\n", t.rows.size() - size_t(limit));
            break;
        }
        std::fprintf(out, "%-15s %5u  %s %s %10s %10s %8.0f %8.0f %7.1f  %s\n", row.address.c_str(), row.remotePort,
                     fitColumn(row.dnsName, 28).c_str(), fitColumn(row.location, 10).c_str(),
                     humanBytes(row.bytesSent).c_str(),
                     humanBytes(row.bytesReceived).c_str(), row.packetsSent, row.packetsReceived, row.idleSeconds,
                     row.program.c_str());
    }
}

} // namespace

std::string humanBytes(double bytes)
{
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

void printReportText(std::FILE* out, const Report& r)
{
    std::fprintf(out, "Lumivex, %.0f s%s; %" PRIu64 " host names learnt\n", r.elapsedSeconds,
                 r.privileged ? "" : " (not privileged: no capture; run as root)", r.engine.dnsNames);
    for (const TrafficTable& t : r.tables)
        printTable(out, t, r.rowsPerTable);

    std::fprintf(out, "\nPrograms\n%-24s %8s %10s %10s %10s %10s\n", "Program", "PID", "Sent", "Received", "Read",
                 "Written");
    for (const XProcessRow& row : r.processes) {
        std::fprintf(out, "%-24.24s %8u %10s %10s %10s %10s\n", row.name.empty() ? "(exited)" : row.name.c_str(), row.pid,
                     humanBytes(double(row.sent)).c_str(), humanBytes(double(row.received)).c_str(),
                     humanBytes(double(row.read)).c_str(), humanBytes(double(row.written)).c_str());
    }

    std::fprintf(out, "\nCounters (%s; source %s)\n", r.engine.capturing ? "capturing" : "not capturing",
                 r.eventSource.c_str());
    int column = 0;
    r.engine.forEach([&](const char* name, uint64_t value, XEngineStats::Kind) {
        std::fprintf(out, "  %-30s %12" PRIu64 "%s", name, value, ++column % 3 == 0 ? "\n" : "");
    });
    std::fprintf(out, "%s", column % 3 ? "\n" : "");
    std::fflush(out);
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            ++i;
        } else if (c < 0x80) {
            out += char(c);
            ++i;
        } else {
            const size_t len = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
            bool ok = len > 0 && i + len <= n;
            for (size_t k = 1; ok && k < len; ++k)
                ok = (p[i + k] & 0xC0) == 0x80;
            if (ok) {
                out.append(text, i, len);
                i += len;
            } else {
                out += "\xEF\xBF\xBD";
                ++i;
            }
        }
    }
    out += '"';
    return out;
}

void printReportJson(std::FILE* out, const Report& r)
{
    std::fprintf(out, "{\n  \"elapsed_seconds\": %.1f,\n  \"privileged\": %s,\n  \"capturing\": %s,\n",
                 r.elapsedSeconds, r.privileged ? "true" : "false", r.engine.capturing ? "true" : "false");
    std::fprintf(out, "  \"event_source\": %s,\n", jsonString(r.eventSource).c_str());
    std::fprintf(out, "  \"dns_names\": %" PRIu64 ",\n", r.engine.dnsNames);
    for (const TrafficTable& t : r.tables) {
        std::fprintf(out, "  %s: [", jsonString(t.name).c_str());
        for (size_t i = 0; i < t.rows.size(); ++i) {
            const TrafficRow& row = t.rows[i];
            std::fprintf(out,
                         "%s\n    {\"address\": %s, \"port\": %u, \"dns_name\": %s, \"location\": %s, "
                         "\"bytes_sent\": %.0f, \"bytes_received\": %.0f, \"packets_sent\": %.0f, "
                         "\"packets_received\": %.0f, \"idle_seconds\": %.1f, \"program\": %s}",
                         i ? "," : "", jsonString(row.address).c_str(), row.remotePort,
                         jsonString(row.dnsName).c_str(), jsonString(row.location).c_str(), row.bytesSent,
                         row.bytesReceived, row.packetsSent, row.packetsReceived, row.idleSeconds,
                         jsonString(row.program).c_str());
        }
        std::fprintf(out, "%s],\n", t.rows.empty() ? "" : "\n  ");
    }
    std::fprintf(out, "  \"processes\": [");
    for (size_t i = 0; i < r.processes.size(); ++i) {
        const XProcessRow& row = r.processes[i];
        std::fprintf(out,
                     "%s\n    {\"pid\": %u, \"program\": %s, \"bytes_sent\": %" PRIu64 ", \"bytes_received\": %" PRIu64
                     ", \"bytes_read\": %" PRIu64 ", \"bytes_written\": %" PRIu64 "}",
                     i ? "," : "", row.pid, jsonString(row.name).c_str(), row.sent, row.received, row.read,
                     row.written);
    }
    std::fprintf(out, "%s],\n  \"counters\": {", r.processes.empty() ? "" : "\n  ");
    bool first = true;
    r.engine.forEach([&](const char* name, uint64_t value, XEngineStats::Kind) {
        std::fprintf(out, "%s\n    \"%s\": %" PRIu64, first ? "" : ",", name, value);
        first = false;
    });
    std::fprintf(out, "\n  }\n}\n");
    std::fflush(out);
}

Report readReport(XEngine& engine, double elapsedSeconds, bool privileged, const LocationLookup& location)
{
    Report report;
    report.elapsedSeconds = elapsedSeconds;
    report.privileged = privileged;
    report.eventSource = engine.eventSource();
    report.tables = readTrafficTables(engine, location);
    report.processes = engine.processTotals().rows;
    report.engine = engine.stats();
    return report;
}
