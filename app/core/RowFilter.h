#pragma once

#include "core/TrafficModel.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvane {

// The find field's narrowing of a traffic list: the entries whose searched text (address,
// DNS name, location, program, as the describer gives it) holds the query, any case for
// ASCII letters. Each address's text is kept until its record sees new activity, so that a
// keystroke only scans. GUI thread only.
class RowFilter {
public:
    using Describe = std::function<std::string(std::uint32_t address)>;

    explicit RowFilter(Describe describe);

    // The query as typed (UTF-8); spaces around it do not count. Empty: every entry passes.
    void setQuery(const std::string& query);
    const std::string& query() const { return m_needle; }
    bool active() const { return !m_needle.empty(); }

    // The entries of all that hold the query, in their order.
    void select(const std::vector<ItemEntry>& all, std::vector<ItemEntry>& out);

    // Drops every kept text (the language changed, or names were learnt since).
    void forget() { m_texts.clear(); }

    // ASCII letters in lower case; other bytes (UTF-8 sequences) as they are.
    static std::string folded(std::string text);

private:
    struct Text {
        std::uint32_t lastUpdate = 0;
        std::string text;
    };
    const std::string& textOf(const ItemEntry& entry);

    Describe m_describe;
    std::string m_needle;
    std::unordered_map<std::uint32_t, Text> m_texts;
};

} // namespace orvane
