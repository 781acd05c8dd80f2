#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

// A bounded set of labelled counters over an unbounded set of keys: the busiest keys get a
// series of their own, everything else is summed in one "other" series. Whatever the keys do,
// every series only grows and the series' sum is the keys' sum, so a scraper's rates stay
// right while keys come, grow past each other and go:
//
// - a key that joins the set brings none of its past: what "other" already showed of it
//   stays there, and its own series starts from 0 (a key new since the last update brings
//   everything, "other" never held it);
// - a key that leaves the set hands all of it back to "other", which only grows by that;
// - a member stays while it ranks among the busiest 2 x limit, so keys near the edge do not
//   change places on every update.
//
// Each key carries N counters (both directions of one or more measures), and is ranked by a
// figure of its own (its bytes, say). One caller at a time.
template <size_t N>
class TopCounters {
public:
    using Values = std::array<double, N>;

    struct Entry {
        std::string key;    // what a member is known by from one update to the next
        std::string label;  // what its series is called now; members with one label share it
        double rank = 0;    // the busiest ranks highest
        Values value{};     // the key's totals so far
    };

    struct Series {
        std::string label;
        double rank = 0;
        Values value{};
    };

    struct Result {
        std::vector<Series> series;  // busiest first
        Values other{};
    };

    explicit TopCounters(size_t limit);

    // Every key's totals now (each key at most once); what to expose.
    Result update(std::vector<Entry> entries);

    size_t limit() const { return m_limit; }

private:
    size_t m_limit;
    std::unordered_map<std::string, Values> m_members;  // key -> the part of it "other" holds
    std::unordered_map<std::string, Values> m_outside;  // key -> its value in "other" last time
    Values m_other{};
};

extern template class TopCounters<2>;
extern template class TopCounters<6>;
