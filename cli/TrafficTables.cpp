#include "TrafficTables.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "capture/XDNSRecord.h"
#include "capture/XEngine.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/Clock.h"

namespace {

std::string dotted(uint32_t hostOrder)
{
    in_addr a{htonl(hostOrder)};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::string cString(const char* text, size_t size)
{
    return std::string(text, strnlen(text, size));
}

TrafficTable readTable(XEngine& engine, XPCProcessInfo& info, const LocationLookup& location,
                       const char* counter, const char* title)
{
    TrafficTable table;
    table.name = title;
    std::vector<_X_R_PACKETCOUNTER> records;
    engine.snapshot(counter, records);
    const uint32_t now = platform::tickCount();
    const bool tcp = std::strcmp(counter, "tcp") == 0;
    const bool udp = std::strcmp(counter, "udp") == 0;
    XDNSRecord* dns = engine.dns();
    for (const _X_R_PACKETCOUNTER& r : records) {
        TrafficRow row;
        row.address = dotted(r.address);
        row.remotePort = ntohs(r.remotePort);
        if (dns) {
            char name[XDNSRecord::kTextSize] = {};
            if (dns->getDNSName(r.address, name, sizeof name) > 0)
                row.dnsName = cString(name, sizeof name);
        }
        if (location)
            row.location = location(r.address);
        row.bytesReceived = r.bytes[0];
        row.bytesSent = r.bytes[1];
        row.packetsReceived = r.packets[0];
        row.packetsSent = r.packets[1];
        row.idleSeconds = double(uint32_t(now - r.lastUpdate)) / 1000.0;
        row.program = cString(r.programName, sizeof r.programName);
        if (row.program.empty() && (tcp || udp)) {
            // The owner tables name programs the event itself could not.
            char name[128] = {};
            const int found = tcp ? info.getTcpProgamName(r.address, name, sizeof name, nullptr)
                                  : info.getUdpProgamName(r.localPort, name, sizeof name, nullptr);
            if (found > 0)
                row.program = cString(name, sizeof name);
        }
        table.rows.push_back(std::move(row));
    }
    std::stable_sort(table.rows.begin(), table.rows.end(), [](const TrafficRow& a, const TrafficRow& b) {
        return a.bytesSent + a.bytesReceived > b.bytesSent + b.bytesReceived;
    });
    return table;
}

} // namespace

std::vector<TrafficTable> readTrafficTables(XEngine& engine, XPCProcessInfo& info, const LocationLookup& location)
{
    return {readTable(engine, info, location, "tcp", "tcp"), readTable(engine, info, location, "udp", "udp"),
            readTable(engine, info, location, "other", "chat")};
}
