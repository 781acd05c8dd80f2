#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "corekit/XLock.h"

// Host names learnt from DNS answers seen on the wire: remote IPv4 address (host order) to
// the last name seen for it. The parser thread adds; any thread may look names up. Entries
// are never removed; they come from blocks of 1000.
class XDNSRecord {
public:
    static constexpr int kTextSize = 128;
    static constexpr int kBlockEntries = 1000;
    static constexpr int kOwnHostChecks = 101;

    // The process-wide cache, created on the first call and never destroyed; null when it
    // cannot be allocated. Any thread.
    static XDNSRecord* Instance();

    // An independent cache (tests, benchmarks). Names equal to ownWebHost (ignoring case)
    // among the first 101 added are blanked; an empty ownWebHost blanks nothing.
    explicit XDNSRecord(const char* ownWebHost);
    ~XDNSRecord();
    XDNSRecord(const XDNSRecord&) = delete;
    XDNSRecord& operator=(const XDNSRecord&) = delete;

    // Parser thread: stores len bytes of name for address (at most 126 are kept, then two
    // NULs); len < 1 stores nothing. A later name for the same address replaces the earlier.
    void addRecord(unsigned long address, const char* name, int len);
    // Any thread: copies min(size, stored length) bytes of the entry (the name and its two
    // NULs) into buf and returns that number; 0 for a null buf, size < 1 or an unknown address.
    int getDNSName(unsigned long address, char* buf, int size);
    // Any thread.
    bool hasDNSName(unsigned long address);
    // Any thread: number of addresses stored.
    int size();
    void print() {}

    // Any thread: names dropped because no entry could be allocated.
    uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }
    // Any thread: entry blocks allocated.
    int blockCount();

private:
    struct Entry {
        int length;
        char text[kTextSize];
    };

    Entry* newEntry();

    static XDNSRecord* m_instance;

    XLock m_lock;  // guards everything below
    std::map<uint32_t, Entry*> m_names;
    int m_entryCount = 0;
    int m_usedInBlock = 0;
    Entry* m_currentBlock = nullptr;
    std::vector<std::unique_ptr<Entry[]>> m_blocks;
    bool m_ownHostCheckDone = false;
    int m_ownHostChecks = 0;
    std::string m_ownWebHost;
    std::atomic<uint64_t> m_dropped{0};
};
