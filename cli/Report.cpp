#include "Report.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <utility>

#include "TerminalText.h"
#include "capengine/XEngine.h"
#include "config/TextUtil.h"
#include "history/CsvWriter.h"

namespace {

// The columns of a traffic table that give way on a narrow screen.
struct TableLayout {
    bool location = true;
    int locationWidth = 10;  // as wide as the widest location, within limits
    int dnsWidth = 28;     // 0: no DNS name column
    int programWidth = 0;  // 0: as wide as the name
};

constexpr int kFixedColumns = 72;  // address, port, both byte and packet counts, idle time
constexpr int kNarrowestLocation = 10;  // a Chinese country name, "Location"
constexpr int kWidestLocation = 18;     // English names: "United Kingdom" whole, longer ones cut
constexpr int kNarrowestDns = 10;
constexpr int kWidestProgram = 16;  // a longer name is cut before the DNS name gives way
constexpr int kNarrowestProgram = 8;

TableLayout layoutFor(const TrafficTable& t, int columns)
{
    TableLayout layout;
    int program = kNarrowestProgram;
    layout.locationWidth = kNarrowestLocation;
    for (const TrafficRow& row : t.rows) {
        program = std::max(program, std::min(displayWidth(terminalSafe(row.program)), kWidestProgram));
        layout.locationWidth = std::max(layout.locationWidth, std::min(displayWidth(terminalSafe(row.location)), kWidestLocation));
    }
    if (columns <= 0)
        return layout;
    const int locationColumns = layout.locationWidth + 1;
    int room = columns - kFixedColumns - program;  // for the DNS name and location columns
    if (room < layout.dnsWidth + 1 + locationColumns)
        layout.location = false;
    if (!layout.location)
        layout.dnsWidth = std::min(layout.dnsWidth, room - 1);
    if (layout.dnsWidth < kNarrowestDns)
        layout.dnsWidth = 0;
    const int used = kFixedColumns + (layout.dnsWidth ? layout.dnsWidth + 1 : 0) + (layout.location ? locationColumns : 0);
    layout.programWidth = std::max(kNarrowestProgram, columns - used - 1);
    return layout;
}

// Lines of one table: its title, and with rows a header and at most limit rows, followed by
// "... n more" when some are left out; limit 0 shows every row.
std::vector<std::string> tableLines(const TrafficTable& t, const TableLayout& layout, int limit)
{
    std::vector<std::string> lines;
    char line[512];
    std::snprintf(line, sizeof line, "%s: %zu remote addresses", terminalSafe(t.name).c_str(), t.rows.size());
    lines.push_back(line);
    if (t.rows.empty())
        return lines;
    const auto middle = [&](const std::string& dns, const std::string& location) {
        std::string text;
        if (layout.dnsWidth)
            text += fitColumn(dns, layout.dnsWidth) + " ";
        if (layout.location)
            text += fitColumn(location, layout.locationWidth) + " ";
        return text;
    };
    std::snprintf(line, sizeof line, "%-15s %5s  %s%10s %10s %8s %8s %7s  %s", "Address", "Port",
                  middle("DNS name", "Location").c_str(), "Sent", "Received", "Pkts out", "Pkts in", "Idle s",
                  "Program");
    lines.push_back(line);
    const size_t shown = limit > 0 ? std::min(t.rows.size(), size_t(limit)) : t.rows.size();
    for (size_t i = 0; i < shown; ++i) {
        const TrafficRow& row = t.rows[i];
        std::string program = terminalSafe(row.program);
        if (layout.programWidth)
            program = fitColumn(program, layout.programWidth);
        while (!program.empty() && program.back() == ' ')
            program.pop_back();
        std::snprintf(line, sizeof line, "%-15s %5u  %s%10s %10s %8.0f %8.0f %7.1f  %s",
                      terminalSafe(row.address).c_str(), row.remotePort,
                      middle(terminalSafe(row.dnsName), terminalSafe(row.location)).c_str(),
                      humanBytes(row.bytesSent).c_str(), humanBytes(row.bytesReceived).c_str(), row.packetsSent,
                      row.packetsReceived, row.idleSeconds, program.c_str());
        lines.push_back(line);
    }
    if (shown < t.rows.size()) {
        std::snprintf(line, sizeof line, "... %zu more", t.rows.size() - shown);
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> programLines(const std::vector<XProcessRow>& processes, int limit)
{
    std::vector<std::string> lines = {"Programs"};
    char line[512];
    std::snprintf(line, sizeof line, "%-24s %8s %10s %10s %10s %10s", "Program", "PID", "Sent", "Received", "Read",
                  "Written");
    lines.push_back(line);
    const size_t shown = limit > 0 ? std::min(processes.size(), size_t(limit)) : processes.size();
    for (size_t i = 0; i < shown; ++i) {
        const XProcessRow& row = processes[i];
        const std::string name = row.name.empty() ? "(exited)" : terminalSafe(row.name);
        std::snprintf(line, sizeof line, "%s %8u %10s %10s %10s %10s", fitColumn(name, 24).c_str(), row.pid,
                      humanBytes(double(row.sent)).c_str(), humanBytes(double(row.received)).c_str(),
                      humanBytes(double(row.read)).c_str(), humanBytes(double(row.written)).c_str());
        lines.push_back(line);
    }
    if (shown < processes.size()) {
        std::snprintf(line, sizeof line, "... %zu more", processes.size() - shown);
        lines.push_back(line);
    }
    return lines;
}

// Every counter, three to a line.
std::vector<std::string> counterLines(const Report& r)
{
    std::vector<std::string> lines;
    char line[512];
    std::snprintf(line, sizeof line, "Counters (%s; source %s)", r.engine.capturing ? "capturing" : "not capturing",
                  terminalSafe(r.eventSource).c_str());
    lines.push_back(line);
    std::string current;
    int column = 0;
    r.engine.forEach([&](const char* name, uint64_t value, XEngineStats::Kind) {
        std::snprintf(line, sizeof line, "  %-30s %12" PRIu64, name, value);
        current += line;
        if (++column % 3 == 0) {
            lines.push_back(current);
            current.clear();
        }
    });
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

// The sum of every drop, then each counter that is not zero, filled into lines of width. The
// history's state joins the heading, and its counters of lost history that are not zero the
// others.
std::vector<std::string> compactCounterLines(const Report& r, int width)
{
    char text[256];
    std::snprintf(text, sizeof text, "Counters (%s; %s): %" PRIu64 " dropped",
                  r.engine.capturing ? "capturing" : "not capturing", terminalSafe(r.eventSource).c_str(),
                  r.engine.totalDrops());
    std::string heading = text;
    if (!r.history.role.empty()) {
        uint64_t lost = 0;
        for (const HistoryStatus::Counter& c : r.history.counters)
            lost += c.drop ? c.value : 0;
        std::snprintf(text, sizeof text, "; history %s, %" PRIu64 " lost", r.history.role.c_str(), lost);
        heading += text;
    }
    std::vector<std::string> lines = {heading};
    std::string current;
    const auto add = [&](const std::string& name, uint64_t value) {
        if (value == 0)
            return;
        std::snprintf(text, sizeof text, "%s %" PRIu64, name.c_str(), value);
        if (!current.empty() && width > 0 && int(current.size() + 2 + std::strlen(text)) > width) {
            lines.push_back(current);
            current.clear();
        }
        current += (current.empty() ? "" : "  ") + std::string(text);
    };
    r.engine.forEach([&](const char* name, uint64_t value, XEngineStats::Kind) { add(name, value); });
    for (const HistoryStatus::Counter& c : r.history.counters)
        if (c.drop)
            add(c.name, c.value);
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

// The recorder's state and every one of its counters, three to a line.
std::vector<std::string> historyLines(const Report& r)
{
    const HistoryStatus& h = r.history;
    if (h.role.empty())
        return {};
    std::string head = "History (" + h.role + "; " + terminalSafe(h.path) + ")";
    if (!h.lastError.empty())
        head += ": " + terminalSafe(h.lastError);
    std::vector<std::string> lines = {head};
    std::string current;
    int column = 0;
    char text[512];
    for (const HistoryStatus::Counter& c : h.counters) {
        std::snprintf(text, sizeof text, "  %-30s %12" PRIu64, c.name.c_str(), c.value);
        current += text;
        if (++column % 3 == 0) {
            lines.push_back(current);
            current.clear();
        }
    }
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

// Splits budget lines among lists that need the given numbers of lines: every list gets what
// it needs when all fit; otherwise the short lists get theirs and the rest share what is left.
std::vector<int> shareLines(const std::vector<int>& needs, int budget)
{
    std::vector<int> shares(needs.size(), 0);
    std::vector<size_t> open;
    for (size_t i = 0; i < needs.size(); ++i)
        if (needs[i] > 0)
            open.push_back(i);
    while (!open.empty()) {
        const int each = std::max(budget / int(open.size()), 1);
        std::vector<size_t> still;
        for (size_t i : open) {
            if (needs[i] <= each) {
                shares[i] = needs[i];
                budget -= needs[i];
            } else {
                still.push_back(i);
            }
        }
        if (still.size() == open.size()) {
            for (size_t i : still)
                shares[i] = std::max(budget / int(still.size()), 2);  // a row and "... more"
            break;
        }
        open.swap(still);
    }
    return shares;
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

std::string privilegeAdvice(const std::string& executable)
{
#ifdef _WIN32
    // Made terminal-safe between its backslashes, which stay single and readable.
    std::string program = executable.empty() ? "lumivex.exe" : std::string();
    for (size_t at = 0; !executable.empty() && at <= executable.size();) {
        const size_t slash = std::min(executable.find('\\', at), executable.size());
        program += terminalSafe(std::string_view(executable).substr(at, slash - at));
        if (slash < executable.size())
            program += '\\';
        at = slash + 1;
    }
    return "not elevated: the kernel's per-program network events and the receive-all mode of the DNS "
           "listeners need an administrator. Start " +
           program + " from a command prompt opened with \"Run as administrator\"";
#else
    const std::string program = executable.empty() ? "lumivex" : terminalSafe(executable);
    return "not privileged: packet capture needs root or the capabilities cap_net_raw, cap_dac_read_search "
           "and cap_sys_ptrace, and per-flow counting in the kernel cap_bpf, cap_perfmon and cap_net_admin. "
           "Grant them with: sudo setcap "
           "cap_net_raw,cap_dac_read_search,cap_sys_ptrace,cap_bpf,cap_perfmon,cap_net_admin+ep " +
           program + " (or install with: sudo cmake --install <build folder>)";
#endif
}

void printReportText(std::FILE* out, const Report& r)
{
    std::vector<std::string> lines;
    char title[256];
    std::snprintf(title, sizeof title, "Lumivex, %.0f s%s; %" PRIu64 " host names learnt", r.elapsedSeconds,
                  r.privileged ? "" : " (not privileged: no capture)", r.engine.dnsNames);
    lines.push_back(title);

    std::vector<std::string> counters = r.compact ? compactCounterLines(r, r.columns) : counterLines(r);
    if (!r.compact)
        for (std::string& line : historyLines(r))
            counters.push_back(std::move(line));
    // Rows shown per list (the programs last). With a screen height, the lists share the lines
    // that the titles, headers and counters leave; a list that is cut spends one of its lines
    // on "... n more".
    std::vector<int> limits(r.tables.size(), r.rowsPerTable);
    limits.push_back(0);
    if (r.lines > 0) {
        std::vector<int> needs;
        int fixed = 1 + 1 + int(counters.size()) + 1;  // title, blank and counters, the cursor's line
        for (const TrafficTable& t : r.tables) {
            fixed += 2 + (t.rows.empty() ? 0 : 1);
            needs.push_back(int(t.rows.size()));
        }
        fixed += 2 + 1;
        needs.push_back(int(r.processes.size()));
        const std::vector<int> shares = shareLines(needs, std::max(r.lines - fixed, 0));
        for (size_t i = 0; i < limits.size(); ++i)
            limits[i] = shares[i] >= needs[i] ? 0 : std::max(shares[i] - 1, 1);
    }
    for (size_t i = 0; i < r.tables.size(); ++i) {
        lines.emplace_back();
        for (std::string& line : tableLines(r.tables[i], layoutFor(r.tables[i], r.columns), limits[i]))
            lines.push_back(std::move(line));
    }
    lines.emplace_back();
    for (std::string& line : programLines(r.processes, limits.back()))
        lines.push_back(std::move(line));
    lines.emplace_back();
    lines.insert(lines.end(), counters.begin(), counters.end());

    for (const std::string& line : lines) {
        // A line longer than the screen would wrap and push the top off: cut it.
        const std::string shown = r.columns > 0 && displayWidth(line) > r.columns ? fitColumn(line, r.columns) : line;
        std::fprintf(out, "%s\n", shown.c_str());
    }
    std::fflush(out);
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        size_t length = 0;
        const uint32_t c = lumivex::config::utf8CodePointAt(text, i, length);
        // Control characters are escaped, C1 and DEL too: the document may be shown on a
        // terminal. So are the invisible format characters, which could make one name read
        // as another wherever the document is shown.
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || lumivex::config::isFormatCharacter(c)) {
            char buf[16];
            if (c > 0xFFFF)  // as a UTF-16 surrogate pair
                std::snprintf(buf, sizeof buf, "\\u%04x\\u%04x", unsigned(0xD800 + ((c - 0x10000) >> 10)),
                              unsigned(0xDC00 + ((c - 0x10000) & 0x3FF)));
            else
                std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
            out += buf;
        } else {
            if (c == '"' || c == '\\')
                out += '\\';
            out.append(text, i, length);
        }
        i += length;
    }
    out += '"';
    return out;
}

std::string bytesCountedBy(const std::string& eventSource)
{
    if (eventSource.rfind("ebpf", 0) == 0)
        return "IP total lengths of the packets as the link carries them: a segmentation-offload packet as "
               "the packets it stands for, each with its headers; a fragmented datagram once, whole, as its "
               "socket sent or received it";
    if (eventSource.rfind("pcap", 0) == 0)
        return "IP total lengths of the packets as captured: a segmentation-offload packet once, with one "
               "set of headers; each fragment on its own, with its header";
    if (eventSource.rfind("etw", 0) == 0)
        return "one packet per send or receive call of a socket, the bytes the call moved and one IPv4 header "
               "with its TCP (40 bytes) or UDP (28 bytes) header, however many packets the link carried";
    return "";
}

void printReportJson(std::FILE* out, const Report& r)
{
    std::fprintf(out, "{\n  \"version\": %s,\n", jsonString(r.version).c_str());
    std::fprintf(out, "  \"elapsed_seconds\": %.1f,\n  \"privileged\": %s,\n  \"capturing\": %s,\n",
                 r.elapsedSeconds, r.privileged ? "true" : "false", r.engine.capturing ? "true" : "false");
    std::fprintf(out, "  \"event_source\": %s,\n", jsonString(r.eventSource).c_str());
    std::fprintf(out, "  \"bytes_counted\": %s,\n", jsonString(bytesCountedBy(r.eventSource)).c_str());
    std::fprintf(out, "  \"dns_names\": %" PRIu64 ",\n", r.engine.dnsNames);
    for (const TrafficTable& t : r.tables) {
        std::fprintf(out, "  %s: [", jsonString(t.name).c_str());
        for (size_t i = 0; i < t.rows.size(); ++i) {
            const TrafficRow& row = t.rows[i];
            std::fprintf(out,
                         "%s\n    {\"address\": %s, \"port\": %u, \"dns_name\": %s, \"name_source\": %s, \"location\": %s, "
                         "\"bytes_sent\": %.0f, \"bytes_received\": %.0f, \"packets_sent\": %.0f, "
                         "\"packets_received\": %.0f, \"idle_seconds\": %.1f, \"program\": %s}",
                         i ? "," : "", jsonString(row.address).c_str(), row.remotePort,
                         jsonString(row.dnsName).c_str(), jsonString(row.nameSource).c_str(),
                         jsonString(row.location).c_str(), row.bytesSent,
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
                     ", \"packets_sent\": %" PRIu64 ", \"packets_received\": %" PRIu64 ", \"bytes_read\": %" PRIu64
                     ", \"bytes_written\": %" PRIu64 "}",
                     i ? "," : "", row.pid, jsonString(row.name).c_str(), row.sent, row.received, row.packetsSent,
                     row.packetsReceived, row.read, row.written);
    }
    std::fprintf(out, "%s],\n  \"counters\": {", r.processes.empty() ? "" : "\n  ");
    bool first = true;
    r.engine.forEach([&](const char* name, uint64_t value, XEngineStats::Kind) {
        std::fprintf(out, "%s\n    \"%s\": %" PRIu64, first ? "" : ",", name, value);
        first = false;
    });
    std::fprintf(out, "\n  },\n  \"history\": ");
    if (r.history.role.empty()) {
        std::fprintf(out, "null\n}\n");
    } else {
        std::fprintf(out, "{\"state\": %s, \"path\": %s, \"last_error\": %s, \"counters\": {",
                     jsonString(r.history.role).c_str(), jsonString(r.history.path).c_str(),
                     jsonString(r.history.lastError).c_str());
        for (size_t i = 0; i < r.history.counters.size(); ++i)
            std::fprintf(out, "%s\"%s\": %" PRIu64, i ? ", " : "", r.history.counters[i].name.c_str(),
                         r.history.counters[i].value);
        std::fprintf(out, "}}\n}\n");
    }
    std::fflush(out);
}

void printReportCsv(std::FILE* out, const Report& r)
{
    std::string text;
    history::CsvWriter csv(text);
    for (const char* h : {"table", "address", "port", "dns_name", "location", "bytes_sent", "bytes_received",
                          "packets_sent", "packets_received", "idle_seconds", "program"})
        csv.text(h);
    csv.endRow();
    for (const TrafficTable& t : r.tables) {
        for (const TrafficRow& row : t.rows) {
            csv.text(t.name).text(row.address).number(uint64_t(row.remotePort)).text(row.dnsName).text(row.location);
            csv.number(row.bytesSent, 0).number(row.bytesReceived, 0).number(row.packetsSent, 0);
            csv.number(row.packetsReceived, 0).number(row.idleSeconds, 1).text(row.program);
            csv.endRow();
        }
    }
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

Report readReport(XEngine& engine, double elapsedSeconds, bool privileged, const LocationLookup& location)
{
    Report report;
    report.version = LUMIVEX_VERSION;
    report.elapsedSeconds = elapsedSeconds;
    report.privileged = privileged;
    report.eventSource = engine.eventSource();
    report.tables = readTrafficTables(engine, location);
    report.processes = engine.processTotals().rows;
    report.engine = engine.stats();
    return report;
}
