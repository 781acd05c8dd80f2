#include "config/DescriptionTable.h"

#include "config/LineReader.h"
#include "config/ShiftedText.h"
#include "config/TextUtil.h"

#include <cstring>

namespace lumivex::config {

namespace {

constexpr std::size_t kLineMax = 510;
// A description is stored while fill + length stays below this; each takes length + 2 bytes.
constexpr std::size_t kPoolFillLimit = DescriptionTable::kPoolSize - 2;

} // namespace

DescriptionTable::Load DescriptionTable::load(std::string_view content)
{
    Load result;
    if (m_pool)
        return result;
    m_pool = std::make_unique<char[]>(kPoolSize);  // zero-filled
    LineReader reader(content, kLineMax);
    int table = kTcpPorts;
    std::string_view raw;
    while (reader.nextLine(raw, result.overLong)) {
        const std::string line = unshiftLine(raw);
        const std::size_t equals = line.find('=');
        const bool comment = trimBlanks(line).starts_with("//");
        if (equals != std::string::npos && equals > 0 && !comment) {
            std::string_view value = std::string_view(line).substr(equals + 1);
            value = value.substr(0, value.find("//"));
            addEntry(table, trimBlanks(std::string_view(line).substr(0, equals)), trimBlanks(value), result);
        } else if (line.find("udp port descrption") != std::string::npos) {
            table = kUdpPorts;
        } else if (line.find("protocol descrption") != std::string::npos) {
            table = kProtocols;
        }
    }
    return result;
}

void DescriptionTable::addEntry(int table, std::string_view numberText, std::string_view description, Load& load)
{
    if (numberText.empty())
        return;
    if (m_fill + description.size() >= kPoolFillLimit) {
        ++load.skipped;
        return;
    }
    const auto number = static_cast<std::uint16_t>(decimalPrefix(numberText));
    std::memcpy(m_pool.get() + m_fill, description.data(), description.size());
    m_tables[table].insert_or_assign(number, static_cast<std::uint32_t>(m_fill));
    m_fill += description.size() + 2;
    ++load.entries;
}

const char* DescriptionTable::find(int table, std::uint16_t number) const
{
    if (table < 0 || table > 2 || !m_pool)
        return nullptr;
    const auto found = m_tables[table].find(number);
    return found == m_tables[table].end() ? nullptr : m_pool.get() + found->second;
}

std::size_t DescriptionTable::size(int table) const
{
    return table < 0 || table > 2 ? 0 : m_tables[table].size();
}

} // namespace lumivex::config
