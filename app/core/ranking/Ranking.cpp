#include "core/ranking/Ranking.h"

#include "core/ValueFormat.h"
#include "core/ranking/RankCategories.h"

#include "capengine/XEngine.h"
#include "config/TextUtil.h"

#include <algorithm>
#include <limits>

namespace orvane {

Ranking::Ranking(CellSources sources) : m_sources(std::move(sources)) {}

int Ranking::compute(int category, XEngine& engine)
{
    m_rows = {};
    m_buffer.clear();
    const auto categories = rankCategories();
    if (category < 0 || std::size_t(category) >= categories.size())
        return 0;
    const RankCategory& c = categories[std::size_t(category)];
    // The buffer grows in steps and never shrinks, so a busy machine allocates once.
    const std::size_t wanted = engine.totals(c.kind).addresses;
    if (m_buffer.capacity() < wanted)
        m_buffer.reserve((wanted / kBufferStep + 1) * kBufferStep);
    const int m = engine.rankedItems(c.kind, c.measure, c.threshold, std::numeric_limits<int>::max(), m_buffer);
    const auto top = m_buffer.begin() + std::min<std::ptrdiff_t>(kRows, m);
    std::partial_sort(m_buffer.begin(), top, m_buffer.end(),
                      [](const XRankedItem& a, const XRankedItem& b) { return a.value > b.value; });
    for (int i = 0; i < std::min(m, kRows); ++i)
        m_rows[std::size_t(i)] = rowOf(m_buffer[std::size_t(i)], c.kind, engine);
    return m;
}

Ranking::Row Ranking::rowOf(const XRankedItem& item, XTrafficKind kind, XEngine& engine) const
{
    Row row;
    auto cell = [&row](Column column) -> std::string& { return row[std::size_t(column)]; };
    cell(Column::Address) = indentText(dottedAddress(item.address));
    XTrafficRow record;
    const bool known = engine.row(kind, item.address, record);
    if (known)
        cell(Column::Port) = formatPort(record.remotePort);
    cell(Column::DnsName) = lumivex::config::visibleText(known ? record.dnsName : engine.dnsName(item.address));
    cell(Column::Location) = m_sources.locationOr(item.address);
    cell(Column::Value) = formatValue(item.value, ValueUse::RankValue).text;
    if (known && !record.program.empty())
        cell(Column::Program) = indentText(lumivex::config::visibleText(record.program));
    return row;
}

} // namespace orvane
