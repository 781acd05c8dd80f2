#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "hostinfo/NetIoRecord.h"

// Per-process network and disk byte totals accumulated over the whole run from the engine's
// one-second drains. Main thread only.
class ProcessTotals {
public:
    struct Row {
        uint32_t pid = 0;
        std::string name;
        uint64_t sent = 0;
        uint64_t received = 0;
        uint64_t read = 0;
        uint64_t written = 0;
    };

    void addNet(const IoTriple* triples, int count);
    void addDisk(const IoTriple* triples, int count);
    // Rows ordered by total bytes, largest first.
    std::vector<Row> rows() const;

private:
    Row& rowFor(uint32_t pid);
    std::map<uint32_t, Row> m_rows;
};
