#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capengine/XEngineRows.h"
#include "corekit/XLock.h"

// Host names learnt for remote IPv4 addresses (host order): the last name seen for each, with
// its source (a DNS answer, or a TLS/QUIC handshake a local program sent); a DNS name is never
// replaced by a handshake's. The
// parser thread adds; any thread may look names up. Entries come from blocks of 1000; the
// cache holds at most a fixed number of them (see Limits), and when it is full the name
// learnt longest ago makes room, whatever the source of the names, so that no traffic can
// grow it beyond its bound.
class XDNSRecord {
public:
    static constexpr int kTextSize = 128;
    static constexpr int kBlockEntries = 1000;
    static constexpr int kOwnHostChecks = 101;
    // What a name costs: its slot and its place in the address index.
    static constexpr std::size_t kEntryBytes = sizeof(int) * 2 + kTextSize + 64;

    // The bound: at most entries names and about bytes of memory, whichever is smaller.
    struct Limits {
        int entries = 32000;
        std::size_t bytes = std::size_t(8) << 20;
    };

    // The process-wide cache, created on the first call and never destroyed; null when it
    // cannot be allocated. Any thread.
    static XDNSRecord* Instance();

    // An independent cache (tests, benchmarks). Names equal to ownWebHost (ignoring case)
    // among the first 101 added are blanked; an empty ownWebHost blanks nothing.
    explicit XDNSRecord(const char* ownWebHost);
    // The same with a bound of its own.
    XDNSRecord(const char* ownWebHost, Limits limits);
    ~XDNSRecord();
    XDNSRecord(const XDNSRecord&) = delete;
    XDNSRecord& operator=(const XDNSRecord&) = delete;

    // Parser thread: stores len bytes of name for address, followed by two NULs; len < 1
    // stores nothing. A name longer than 126 bytes is kept as an ellipsis and its last
    // labels, so that a cut name is marked as one and keeps the domain it belongs to. A later
    // name for the same address replaces the earlier and counts as the newest, except that a
    // handshake name (source Tls or Quic) leaves a DNS name in place. Returns whether the name
    // was stored (false also when memory ran out: counted in dropped()).
    bool addRecord(unsigned long address, const char* name, int len, XNameSource source = XNameSource::Dns);
    // Any thread: copies min(size, stored length) bytes of the entry (the name and its two
    // NULs) into buf and returns that number; 0 for a null buf, size < 1 or an unknown address.
    // source, when given, receives where the name came from (None when 0 is returned).
    int getDNSName(unsigned long address, char* buf, int size, XNameSource* source = nullptr);
    // Any thread.
    bool hasDNSName(unsigned long address);
    // Any thread: number of addresses stored.
    int size();
    void print() {}

    // Any thread: the most names the cache holds.
    int capacity() const { return m_capacity; }
    // Any thread: names dropped: refused because no entry could be allocated, or forgotten
    // to make room for newer ones.
    uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }
    // Any thread: entry blocks allocated.
    int blockCount();

private:
    struct Entry {
        int length;          // 0: free
        uint32_t address;
        XNameSource source;
        char text[kTextSize];
    };

    Entry* newEntry();
    static int storeName(Entry& entry, const char* name, int len);

    static XDNSRecord* m_instance;

    const int m_capacity;
    XLock m_lock;  // guards everything below
    std::map<uint32_t, Entry*> m_names;
    int m_entryCount = 0;
    int m_usedInBlock = 0;
    int m_taken = 0;  // entries handed out in the ring, 0 .. capacity
    int m_next = 0;   // once all are handed out, the entry to reuse next: the oldest
    Entry* m_currentBlock = nullptr;
    std::vector<std::unique_ptr<Entry[]>> m_blocks;
    bool m_ownHostCheckDone = false;
    int m_ownHostChecks = 0;
    std::string m_ownWebHost;
    std::atomic<uint64_t> m_dropped{0};
};
