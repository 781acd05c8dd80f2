// XEngine's read operations: copies of the counters, the DNS cache and the owner tables.
#include <algorithm>
#include <cstring>

#include "capengine/XEngine.h"
#include "capture/XDNSRecord.h"
#include "capture/XEngineImpl.h"
#include "capture/XParserResultMgr.h"
#include "capture/XRecordCounter.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/ByteOrder.h"

namespace {

const char* counterName(XTrafficKind kind)
{
    switch (kind) {
    case kTrafficTcp: return "tcp";
    case kTrafficUdp: return "udp";
    case kTrafficChat: return "other";
    }
    return nullptr;
}

std::string cString(const char* text, size_t size)
{
    return std::string(text, strnlen(text, size));
}

} // namespace

XParserResult* XEngine::Impl::result(XTrafficKind kind) const
{
    const char* name = counterName(kind);
    return wired() && results && name ? results->getResult(name) : nullptr;
}

void XEngine::Impl::completeRow(XTrafficKind kind, const _X_R_PACKETCOUNTER& r, XTrafficRow& row) const
{
    row.remotePort = platform::netToHost16(r.remotePort);
    row.localPort = platform::netToHost16(r.localPort);
    row.lastUpdate = r.lastUpdate;
    row.bytes[0] = r.bytes[0];
    row.bytes[1] = r.bytes[1];
    row.packets[0] = r.packets[0];
    row.packets[1] = r.packets[1];
    row.program = cString(r.programName, sizeof r.programName);
    if (dns) {
        char name[XDNSRecord::kTextSize] = {};
        if (dns->getDNSName(row.address, name, sizeof name, &row.nameSource) > 0)
            row.dnsName = cString(name, sizeof name);
    }
    if (row.program.empty() && processInfo && kind != kTrafficChat) {
        // The owner tables name programs the first event could not.
        char name[XPCProcessInfo::kNameSize] = {};
        const int found = kind == kTrafficTcp
                              ? processInfo->getTcpProgamName(row.address, name, sizeof name, nullptr)
                              : processInfo->getUdpProgamName(r.localPort, name, sizeof name, nullptr);
        if (found > 0)
            row.program = cString(name, sizeof name);
    }
}

int XEngine::snapshot(XTrafficKind kind, std::vector<XTrafficRow>& rows)
{
    rows.clear();
    auto* counter = static_cast<XRecordCounter*>(m_impl->result(kind));
    if (!counter)
        return 0;
    std::vector<_X_R_PACKETCOUNTER> records;
    counter->copyRecords(records);
    std::sort(records.begin(), records.end(),
              [](const _X_R_PACKETCOUNTER& a, const _X_R_PACKETCOUNTER& b) { return a.address < b.address; });
    rows.resize(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        rows[i].address = records[i].address;
        m_impl->completeRow(kind, records[i], rows[i]);
    }
    return int(rows.size());
}

int XEngine::addresses(XTrafficKind kind, std::vector<XAddressStamp>& out)
{
    out.clear();
    XParserResult* counter = m_impl->result(kind);
    if (!counter)
        return 0;
    // Room for addresses added between the two calls; what does not fit waits for the next.
    const int room = counter->size() + 64;
    std::vector<unsigned long> ips(static_cast<size_t>(room));
    std::vector<unsigned long> ticks(static_cast<size_t>(room));
    const int n = counter->getIPs(ips.data(), ticks.data(), 0, room);
    out.resize(size_t(std::max(n, 0)));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = {uint32_t(ips[i]), uint32_t(ticks[i])};
    return int(out.size());
}

bool XEngine::row(XTrafficKind kind, uint32_t address, XTrafficRow& out)
{
    XParserResult* counter = m_impl->result(kind);
    _X_R_PACKETCOUNTER record{};
    if (!counter || !counter->getIPdata(address, record))
        return false;
    out = XTrafficRow{};
    out.address = address;
    m_impl->completeRow(kind, record, out);
    return true;
}

XTrafficTotals XEngine::totals(XTrafficKind kind)
{
    XTrafficTotals totals;
    XParserResult* counter = m_impl->result(kind);
    if (!counter)
        return totals;
    _X_PACKETCOUNTER_STATDATA s{};
    totals.lastUpdate = uint32_t(counter->getStatData(s));
    totals.bytes[0] = s.bytesReceived;
    totals.bytes[1] = s.bytesSent;
    totals.packets[0] = s.packetsReceived;
    totals.packets[1] = s.packetsSent;
    totals.addresses = uint32_t(std::max(s.addresses, 0));
    totals.exists = true;
    return totals;
}

int XEngine::rankedItems(XTrafficKind kind, XRankMeasure measure, double threshold, int max,
                         std::vector<XRankedItem>& out)
{
    out.clear();
    XParserResult* counter = m_impl->result(kind);
    if (!counter || max <= 0)
        return 0;
    std::vector<_X_PACKETCOUNTER_ITEMDATA> items(size_t(std::min(max, counter->size() + 64)));
    const int n = counter->getItemIPs(int(measure), items.data(), threshold, int(items.size()));
    out.reserve(size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        out.push_back({items[size_t(i)].address, items[size_t(i)].value});
    return int(out.size());
}

std::string XEngine::dnsName(uint32_t address, XNameSource* source)
{
    if (source)
        *source = XNameSource::None;
    XDNSRecord* dns = m_impl->wired() ? m_impl->dns : nullptr;
    char name[XDNSRecord::kTextSize] = {};
    if (!dns || dns->getDNSName(address, name, sizeof name, source) <= 0)
        return {};
    return cString(name, sizeof name);
}

std::string XEngine::tcpProgram(uint32_t address)
{
    XPCProcessInfo* info = m_impl->wired() ? m_impl->processInfo : nullptr;
    char name[XPCProcessInfo::kNameSize] = {};
    if (!info || info->getTcpProgamName(address, name, sizeof name, nullptr) <= 0)
        return {};
    return cString(name, sizeof name);
}

std::string XEngine::udpProgram(uint16_t localPort)
{
    XPCProcessInfo* info = m_impl->wired() ? m_impl->processInfo : nullptr;
    char name[XPCProcessInfo::kNameSize] = {};
    if (!info || info->getUdpProgamName(platform::hostToNet16(localPort), name, sizeof name, nullptr) <= 0)
        return {};
    return cString(name, sizeof name);
}

void XEngine::clear(XTrafficKind kind)
{
    if (XParserResult* counter = m_impl->result(kind))
        counter->clear();
}

XProcessTotals XEngine::processTotals()
{
    return m_impl->processTotals.read();
}

int XEngine::sockets(std::vector<XSocketRow>& out)
{
    if (m_impl->state.load() == Impl::State::FromComponents) {
        out.clear();
        return m_impl->components.sockets ? m_impl->components.sockets(out) : 0;
    }
    return m_impl->sockets.read(out);
}
