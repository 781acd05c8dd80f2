#include "Report.h"

namespace {

void printDrops(std::FILE* out, const Report& r)
{
    const platform::IoSourceStats& s = r.io.source;
    std::fprintf(out, "\nEvent source: %s\n", r.io.running ? "capturing" : "not capturing");
    std::fprintf(out, "  packets seen %llu, malformed %llu, kernel drops %llu, interface drops %llu\n",
                 (unsigned long long)s.packetsSeen, (unsigned long long)s.packetsMalformed,
                 (unsigned long long)s.kernelDrops, (unsigned long long)s.interfaceDrops);
    std::fprintf(out, "  events queued %llu, dropped (ring full) %llu, held back at start %llu, pending %ld\n",
                 (unsigned long long)r.io.eventsQueued, (unsigned long long)r.io.eventsDropped,
                 (unsigned long long)r.io.gatedEvents, r.io.ringPending);
    std::fprintf(out, "  flows attributed %llu, unowned %llu; events without owner: lookup too slow %llu, "
                      "hold buffer full %llu, lookup queue full %llu\n",
                 (unsigned long long)s.flowsResolved, (unsigned long long)s.flowsUnowned,
                 (unsigned long long)s.heldTimeouts, (unsigned long long)s.holdOverflows,
                 (unsigned long long)s.lookupQueueFull);
    std::fprintf(out, "  per-process totals dropped (over 50 processes): network %llu, disk %llu\n",
                 (unsigned long long)r.processTotalsDropped, (unsigned long long)r.io.diskDropped);
}

} // namespace

void printReportText(std::FILE* out, const Report& r)
{
    std::fprintf(out, "Lumivex, %.0f s%s\n", r.elapsedSeconds,
                 r.privileged ? "" : " (not privileged: no capture; run as root)");
    std::fprintf(out, "\n%-24s %8s %14s %14s %14s %14s\n", "Program", "PID", "Sent", "Received", "Read", "Written");
    for (const ProcessTotals::Row& row : r.processes) {
        std::fprintf(out, "%-24.24s %8u %14llu %14llu %14llu %14llu\n",
                     row.name.empty() ? "?" : row.name.c_str(), row.pid, (unsigned long long)row.sent,
                     (unsigned long long)row.received, (unsigned long long)row.read,
                     (unsigned long long)row.written);
    }
    printDrops(out, r);
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
            const size_t len = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
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
    const platform::IoSourceStats& s = r.io.source;
    std::fprintf(out, "{\n  \"elapsed_seconds\": %.1f,\n  \"privileged\": %s,\n  \"capturing\": %s,\n",
                 r.elapsedSeconds, r.privileged ? "true" : "false", r.io.running ? "true" : "false");
    std::fprintf(out, "  \"processes\": [");
    for (size_t i = 0; i < r.processes.size(); ++i) {
        const ProcessTotals::Row& row = r.processes[i];
        std::fprintf(out, "%s\n    {\"pid\": %u, \"program\": %s, \"sent\": %llu, \"received\": %llu, "
                          "\"read\": %llu, \"written\": %llu}",
                     i ? "," : "", row.pid, jsonString(row.name).c_str(), (unsigned long long)row.sent,
                     (unsigned long long)row.received, (unsigned long long)row.read,
                     (unsigned long long)row.written);
    }
    std::fprintf(out, "%s],\n", r.processes.empty() ? "" : "\n  ");
    std::fprintf(out,
                 "  \"counters\": {\"packets_seen\": %llu, \"packets_malformed\": %llu, \"kernel_drops\": %llu, "
                 "\"interface_drops\": %llu, \"events_queued\": %llu, \"events_dropped\": %llu, "
                 "\"events_gated\": %llu, \"ring_pending\": %ld, \"flows_resolved\": %llu, "
                 "\"flows_unowned\": %llu, \"owner_lookup_timeouts\": %llu, \"hold_overflows\": %llu, "
                 "\"lookup_queue_full\": %llu, \"net_totals_dropped\": %llu, \"disk_totals_dropped\": %llu}\n}\n",
                 (unsigned long long)s.packetsSeen, (unsigned long long)s.packetsMalformed,
                 (unsigned long long)s.kernelDrops, (unsigned long long)s.interfaceDrops,
                 (unsigned long long)r.io.eventsQueued, (unsigned long long)r.io.eventsDropped,
                 (unsigned long long)r.io.gatedEvents, r.io.ringPending, (unsigned long long)s.flowsResolved,
                 (unsigned long long)s.flowsUnowned, (unsigned long long)s.heldTimeouts,
                 (unsigned long long)s.holdOverflows, (unsigned long long)s.lookupQueueFull,
                 (unsigned long long)r.processTotalsDropped, (unsigned long long)r.io.diskDropped);
    std::fflush(out);
}
