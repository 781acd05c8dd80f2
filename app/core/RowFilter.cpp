#include "core/RowFilter.h"

#include <algorithm>
#include <functional>

namespace orvane {

RowFilter::RowFilter(Describe describe) : m_describe(std::move(describe)) {}

std::string RowFilter::folded(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

void RowFilter::setQuery(const std::string& query)
{
    const auto first = query.find_first_not_of(" \t");
    const auto last = query.find_last_not_of(" \t");
    m_needle = first == std::string::npos ? std::string() : folded(query.substr(first, last - first + 1));
}

const std::string& RowFilter::textOf(const ItemEntry& entry)
{
    auto [it, added] = m_texts.try_emplace(entry.address);
    if (added || it->second.lastUpdate != entry.lastUpdate) {
        it->second.lastUpdate = entry.lastUpdate;
        it->second.text = folded(m_describe(entry.address));
    }
    return it->second.text;
}

void RowFilter::select(const std::vector<ItemEntry>& all, std::vector<ItemEntry>& out)
{
    out.clear();
    if (!active()) {
        out = all;
        return;
    }
    // Addresses that left the list take their texts with them once they are the majority,
    // so the kept texts stay within twice the list.
    if (m_texts.size() > 2 * all.size() + 1024) {
        std::unordered_map<std::uint32_t, Text> kept;
        kept.reserve(all.size());
        for (const ItemEntry& e : all) {
            if (auto it = m_texts.find(e.address); it != m_texts.end())
                kept.emplace(e.address, std::move(it->second));
        }
        m_texts.swap(kept);
    }
    const std::boyer_moore_horspool_searcher searcher(m_needle.begin(), m_needle.end());
    for (const ItemEntry& e : all) {
        const std::string& text = textOf(e);
        if (std::search(text.begin(), text.end(), searcher) != text.end())
            out.push_back(e);
    }
}

} // namespace orvane
