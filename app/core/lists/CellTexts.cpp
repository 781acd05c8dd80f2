#include "core/lists/CellTexts.h"

#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"
#include "config/DataFileStore.h"
#include "config/TextUtil.h"
#include "core/TrafficModel.h"

#include <cstdio>
#include <string_view>

namespace orvane {

namespace {

// The engine names a few chat programs with Chinese words; their texts in every language.
struct ChatProgramText {
    std::string_view engineName;
    const char* key;
};
constexpr ChatProgramText kChatProgramTexts[] = {
    {"飞信", "chat_fetion"},
    {"阿里旺旺", "chat_aliwangwang"},
    {"百度Hi", "chat_baiduhi"},
    {"新浪UC", "chat_sinauc"},
};

const char* builtinText(const char* key, lumivex::config::Language language)
{
    for (const lumivex::config::BuiltinText& entry : lumivex::config::builtinTexts())
        if (std::string_view(entry.key) == key)
            return entry.text(language);
    return key;
}

} // namespace

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
    const auto& store = lumivex::config::ConfigStore::instance();
    return {&data, store.getText("unknown"), &store, store.language()};
}

lumivex::config::Language CellSources::currentLanguage() const
{
    return texts ? texts->language() : language;
}

std::string CellSources::location(std::uint32_t address) const
{
    std::string text;
    if (data)
        data->lookupLocation(address, text, currentLanguage());
    return text;
}

std::string CellSources::locationOr(std::uint32_t address) const
{
    std::string text = location(address);
    if (!text.empty())
        return text;
    return texts ? texts->getText("unknown") : unknown;
}

std::string CellSources::chatProgramName(const std::string& name) const
{
    for (const ChatProgramText& entry : kChatProgramTexts)
        if (entry.engineName == name)
            return texts ? texts->getText(entry.key) : builtinText(entry.key, language);
    return name;
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
            return plain(indentText(lumivex::config::visibleText(m_sources.chatProgramName(row.program))));
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
