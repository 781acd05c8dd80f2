#include "history/Csv.h"

#include <cstdio>

namespace history {

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
