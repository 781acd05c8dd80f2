#include "TrafficTables.h"

#include <algorithm>

#include "capengine/XEngine.h"
#include "platform/ByteOrder.h"

namespace {

TrafficTable readTable(XEngine& engine, const LocationLookup& location, XTrafficKind kind, const char* title)
{
    TrafficTable table;
    table.name = title;
    std::vector<XTrafficRow> rows;
    engine.snapshot(kind, rows);
    const uint32_t now = engine.tick();
    for (const XTrafficRow& r : rows) {
        TrafficRow row;
        row.address = platform::dottedIpv4(r.address);
        row.remotePort = r.remotePort;
        row.dnsName = r.dnsName;
        row.nameSource = nameSourceText(r.nameSource);
        if (location)
            row.location = location(r.address);
        row.bytesReceived = r.bytes[0];
        row.bytesSent = r.bytes[1];
        row.packetsReceived = r.packets[0];
        row.packetsSent = r.packets[1];
        row.idleSeconds = double(uint32_t(now - r.lastUpdate)) / 1000.0;
        row.program = r.program;
        table.rows.push_back(std::move(row));
    }
    std::stable_sort(table.rows.begin(), table.rows.end(), [](const TrafficRow& a, const TrafficRow& b) {
        return a.bytesSent + a.bytesReceived > b.bytesSent + b.bytesReceived;
    });
    return table;
}

} // namespace

std::vector<TrafficTable> readTrafficTables(XEngine& engine, const LocationLookup& location)
{
    return {readTable(engine, location, kTrafficTcp, "tcp"), readTable(engine, location, kTrafficUdp, "udp"),
            readTable(engine, location, kTrafficChat, "chat")};
}
