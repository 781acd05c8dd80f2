#include "TopCounters.h"

#include <algorithm>
#include <map>

template <size_t N>
TopCounters<N>::TopCounters(size_t limit) : m_limit(limit)
{
}

template <size_t N>
typename TopCounters<N>::Result TopCounters<N>::update(std::vector<Entry> entries)
{
    // Only the busiest 2 x limit matter for the set; their order is the rank.
    const size_t ranked = std::min(entries.size(), 2 * m_limit);
    std::partial_sort(entries.begin(), entries.begin() + long(ranked), entries.end(),
                      [](const Entry& a, const Entry& b) { return a.rank > b.rank; });

    std::unordered_map<std::string, Values> members;
    members.reserve(m_limit);
    for (size_t i = 0; i < ranked; ++i) {
        const auto kept = m_members.find(entries[i].key);
        if (kept != m_members.end())
            members.emplace(kept->first, kept->second);
    }
    for (size_t i = 0; i < ranked && members.size() < m_limit; ++i) {
        if (members.count(entries[i].key))
            continue;
        const auto outside = m_outside.find(entries[i].key);
        members.emplace(entries[i].key, outside == m_outside.end() ? Values{} : outside->second);
    }

    Values other{};
    std::map<std::string, Series> byLabel;
    std::unordered_map<std::string, Values> outside;
    outside.reserve(entries.size() - std::min(entries.size(), members.size()));
    for (const Entry& e : entries) {
        const auto member = members.find(e.key);
        if (member == members.end()) {
            for (size_t i = 0; i < N; ++i)
                other[i] += e.value[i];
            outside.emplace(e.key, e.value);
            continue;
        }
        Series& series = byLabel[e.label];
        series.rank += e.rank;
        for (size_t i = 0; i < N; ++i) {
            // A key whose total went back (it never should) shows nothing rather than less.
            const double held = std::min(member->second[i], e.value[i]);
            other[i] += held;
            series.value[i] += e.value[i] - held;
        }
    }
    Result result;
    result.series.reserve(byLabel.size());
    for (auto& [label, series] : byLabel) {
        series.label = label;
        result.series.push_back(std::move(series));
    }
    std::stable_sort(result.series.begin(), result.series.end(),
                     [](const Series& a, const Series& b) { return a.rank > b.rank; });
    // A key that vanished took its share of "other" along; the counter still never goes back.
    for (size_t i = 0; i < N; ++i)
        m_other[i] = std::max(m_other[i], other[i]);
    result.other = m_other;
    m_members = std::move(members);
    m_outside = std::move(outside);
    return result;
}

template class TopCounters<2>;
template class TopCounters<6>;
