#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

// The DNS queries this host sent in the last few seconds, so that an answer is believed only
// when it answers one of them: from the server's port 53 to the port that asked, with the
// query's id and question. At most kMaxPending are kept (the oldest go first, counted).
// Parser thread only.
class XDnsQueries {
public:
    static constexpr uint32_t kWindowMs = 5000;  // a resolver gives up on a query after this
    static constexpr size_t kMaxPending = 4096;

    // Addresses and ports in network order, as they lie in the datagram.
    struct Key {
        uint32_t localAddr;
        uint32_t serverAddr;
        uint16_t localPort;
        uint16_t id;
        bool operator==(const Key& o) const
        {
            return localAddr == o.localAddr && serverAddr == o.serverAddr && localPort == o.localPort && id == o.id;
        }
    };

    explicit XDnsQueries(size_t maxPending = kMaxPending);

    // A query sent at nowMs (tick milliseconds) for question (dotted text). A second query
    // with the same key replaces the first.
    void add(const Key& key, std::string_view question, uint32_t nowMs);
    // Whether an answer with this key and question (letter case aside) answers a query sent
    // within the last kWindowMs; that query is then forgotten, so it is answered once.
    bool take(const Key& key, std::string_view question, uint32_t nowMs);

    size_t size() const { return m_pending.size(); }
    // Queries forgotten unanswered to make room for newer ones.
    uint64_t dropped() const { return m_dropped; }

private:
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    struct Pending {
        std::string question;
        uint32_t sentMs;
        uint64_t serial;  // tells this query from an older one with the same key
    };
    struct Sent {
        Key key;
        uint64_t serial;
        uint32_t sentMs;
    };

    bool current(const Sent& sent) const;
    void expire(uint32_t nowMs);

    size_t m_maxPending;
    std::unordered_map<Key, Pending, KeyHash> m_pending;
    std::deque<Sent> m_order;  // sending order; answered or replaced queries linger a while
    uint64_t m_serial = 0;
    uint64_t m_dropped = 0;
};
