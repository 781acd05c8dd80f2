#include "core/lists/CellTexts.h"

#include "config/ConfigStore.h"
#include "config/DataFileStore.h"
#include "config/TextUtil.h"
#include "core/TrafficModel.h"

#include <cstdio>

namespace orvane {

std::string dottedAddress(std::uint32_t a)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xff, (a >> 8) & 0xff, a & 0xff);
    return text;
}

CellSources CellSources::fromProgram()
{
    auto& data = lumivex::config::DataFileStore::instance();
    data.load();
    return {&data, lumivex::config::ConfigStore::instance().getText("unknown")};
}

std::string CellSources::locationOr(std::uint32_t address) const
{
    std::string text;
    if (data && data->lookupLocation(address, text) && !text.empty())
        return text;
    return unknown;
}

std::string CellSources::portDescription(XTrafficKind table, std::uint16_t port) const
{
    std::string text;
    if (data && data->lookupDescription(int(table), port, text))
        return text;
    return {};
}

TrafficCellText::TrafficCellText(XTrafficKind kind, const TrafficModel& model, CellSources sources)
    : m_kind(kind), m_model(model), m_sources(std::move(sources))
{
}

int TrafficCellText::columns() const
{
    return int(trafficColumns(m_kind).size());
}

ColoredText TrafficCellText::cell(TrafficColumn column, const XTrafficRow& row) const
{
    const bool chat = m_kind == kTrafficChat;
    const auto plain = [](std::string text) { return ColoredText{std::move(text), valuecolor::listText}; };
    switch (column) {
    case TrafficColumn::Address: return plain(indentText(dottedAddress(row.address)));
    case TrafficColumn::Port:
        if (chat)
            return plain(indentText(lumivex::config::visibleText(row.program)));
        if (std::string description = m_sources.portDescription(m_kind, row.remotePort); !description.empty())
            return plain(description);
        return plain(formatPort(row.remotePort));
    case TrafficColumn::DnsName: return plain(lumivex::config::visibleText(row.dnsName));
    case TrafficColumn::Location: return plain(m_sources.locationOr(row.address));
    case TrafficColumn::SentBytes: return formatValue(row.bytes[1], ValueUse::ListSentBytes);
    case TrafficColumn::ReceivedBytes: return formatValue(row.bytes[0], ValueUse::ListReceivedBytes);
    case TrafficColumn::LastSeen: return plain(formatLastSeen(m_model.wallClockNow(row.lastUpdate)));
    case TrafficColumn::Program:
        if (chat || row.program.empty())
            return plain({});
        return plain(indentText(lumivex::config::visibleText(row.program)));
    }
    return plain({});
}

} // namespace orvane
