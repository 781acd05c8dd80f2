#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "capengine/XEngineRows.h"
#include "platform/SocketTable.h"

// The machine's TCP connections and UDP endpoints with their owners, and the time each
// socket was first seen: the system keeps no creation time, so the first read that finds a
// socket stamps it (sockets found by the very first read are older than the program and get
// 0, unknown). Any thread; reads are serialised.
class XSocketList {
public:
    struct Hooks {
        std::function<bool(platform::SocketProtocol, std::vector<platform::SocketRow>&)> readTable;
        std::function<std::string(uint32_t)> name;
        std::function<std::string(uint32_t)> path;
        std::function<uint64_t()> wallMs;  // milliseconds since 1970
        static Hooks system();
    };

    explicit XSocketList(Hooks hooks);

    int read(std::vector<XSocketRow>& out);
    // Reads the tables only to stamp the sockets that appeared since the last read, so that a
    // list read later shows when they were first seen (the engine's sampler calls it every
    // two seconds). Cheaper than read(): no owner is named.
    void stamp();

private:
    void append(platform::SocketProtocol protocol, uint64_t nowMs, std::vector<XSocketRow>* out,
                std::unordered_map<uint64_t, uint64_t>& seen);
    uint64_t firstSeen(uint64_t inode, uint64_t nowMs, std::unordered_map<uint64_t, uint64_t>& seen) const;

    Hooks m_hooks;
    std::mutex m_mutex;
    bool m_firstRead = true;
    std::unordered_map<uint64_t, uint64_t> m_firstSeen;  // inode -> wall ms (0: before us)
    std::vector<platform::SocketRow> m_rows;             // scratch
    std::unordered_map<uint32_t, std::pair<std::string, std::string>> m_names;  // per read
};
