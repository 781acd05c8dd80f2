#include "views/lists/CellTexts.h"

#include "config/ConfigStore.h"
#include "config/DataFileStore.h"
#include "config/TextUtil.h"
#include "shell/core/TrafficModel.h"
#include "shell/core/ValueFormat.h"
#include "views/lists/ListColumn.h"

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

std::string CellSources::portDescription(int table, std::uint16_t port) const
{
    std::string text;
    if (data && data->lookupDescription(table, port, text))
        return text;
    return {};
}

TrafficCellText::TrafficCellText(int kind, const TrafficModel& model, CellSources sources)
    : m_kind(kind), m_model(model), m_sources(std::move(sources))
{
}

int TrafficCellText::columns() const
{
    return int(trafficColumns(m_kind).size());
}

std::string TrafficCellText::text(int column, const XTrafficRow& row) const
{
    const bool chat = m_kind == 2;
    switch (column) {
    case 0: return indentText(dottedAddress(row.address));
    case 1:
        if (chat)
            return indentText(lumivex::config::visibleText(row.program));
        if (std::string description = m_sources.portDescription(m_kind, row.remotePort); !description.empty())
            return description;
        return formatPort(row.remotePort);
    case 2: return lumivex::config::visibleText(row.dnsName);
    case 3: return m_sources.locationOr(row.address);
    case 4: return formatListBytes(row.bytes[1], ByteColumn::Sent);
    case 5: return formatListBytes(row.bytes[0], ByteColumn::Received);
    case 6: return formatLastSeen(m_model.wallClockNow(row.lastUpdate));
    case 7:
        if (chat || row.program.empty())
            return {};
        return indentText(lumivex::config::visibleText(row.program));
    default: return {};
    }
}

} // namespace orvane
