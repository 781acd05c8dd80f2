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
// Where queries and answers come by different roads, an answer may come before its query: it
// can be held a short while (kHoldMs, at most kMaxHeld answers) for the query to come.
// Parser thread only.
class XDnsQueries {
public:
    static constexpr uint32_t kWindowMs = 5000;  // a resolver gives up on a query after this
    static constexpr size_t kMaxPending = 4096;
    static constexpr uint32_t kHoldMs = 250;     // an answer waits this long for its query
    static constexpr size_t kMaxHeld = 256;
    static constexpr size_t kMaxHeldBytes = 4096;  // longer answers are not held

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
    // with the same key replaces the first. When an answer held for it waits (see hold()),
    // the query is answered at once: it is not kept, the answer's DNS message is moved into
    // answer (when given) and true returned.
    bool add(const Key& key, std::string_view question, uint32_t nowMs, std::string* answer = nullptr);
    // Whether an answer with this key and question (letter case aside) answers a query sent
    // within the last kWindowMs; that query is then forgotten, so it is answered once.
    bool take(const Key& key, std::string_view question, uint32_t nowMs);
    // Whether a query with this key waits for its answer (a take() that failed for it failed
    // for another question, not for want of a query).
    bool waiting(const Key& key) const { return m_pending.count(key) != 0; }
    // Holds an answer (its DNS message) that found no query with its key, for the query to
    // come within kHoldMs. The oldest held answer gives up for it when kMaxHeld wait.
    void hold(const Key& key, std::string_view question, std::string_view message, uint32_t nowMs);
    // Gives up on the held answers that have waited kHoldMs by nowMs.
    void expireHeld(uint32_t nowMs);

    size_t size() const { return m_pending.size(); }
    // Queries forgotten unanswered to make room for newer ones.
    uint64_t dropped() const { return m_dropped; }
    size_t held() const { return m_held.size(); }
    // Held answers whose query came.
    uint64_t heldAnswered() const { return m_heldAnswered; }
    // Held answers given up: no query came in time (or only one asking something else), or
    // newer answers needed the room, or the answer was too long to hold.
    uint64_t heldGaveUp() const { return m_heldGaveUp; }

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
    struct Held {
        Key key;
        std::string question;
        std::string message;
        uint32_t heldMs;
    };

    bool current(const Sent& sent) const;
    void expire(uint32_t nowMs);

    size_t m_maxPending;
    std::unordered_map<Key, Pending, KeyHash> m_pending;
    std::deque<Sent> m_order;  // sending order; answered or replaced queries linger a while
    uint64_t m_serial = 0;
    uint64_t m_dropped = 0;
    std::deque<Held> m_held;  // in the order they came
    uint64_t m_heldAnswered = 0;
    uint64_t m_heldGaveUp = 0;
};
