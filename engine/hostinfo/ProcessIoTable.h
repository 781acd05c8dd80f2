#pragma once

#include <cstdint>

#include "hostinfo/NetIoRecord.h"

// Per-process byte totals of one drain interval, for at most 50 processes; a further process
// is dropped until the next drain. Records are reused: a drain only resets the count in use.
// Not locked: the owner guards it.
class ProcessIoTable {
public:
    // Adds to the process's totals; false (nothing added) when 50 other processes hold records.
    bool add(uint32_t pid, uint32_t in, uint32_t out, uint32_t packetsIn = 0, uint32_t packetsOut = 0)
    {
        ProcessIoTotals* record = nullptr;
        for (int i = 0; i < m_used && !record; ++i)
            if (m_records[i].pid == pid)
                record = &m_records[i];
        if (!record) {
            if (m_used >= kMaxProcessTotals)
                return false;
            record = &m_records[m_used++];
            *record = {pid, 0, 0};
        }
        record->in += in;
        record->out += out;
        record->packetsIn += packetsIn;
        record->packetsOut += packetsOut;
        return true;
    }

    // Copies the records in use, at most max, and starts a new interval.
    int drain(IoTriple* out, int max)
    {
        int copied = 0;
        for (; out && copied < m_used && copied < max; ++copied)
            out[copied] = {m_records[copied].pid, m_records[copied].in, m_records[copied].out,
                           m_records[copied].packetsIn, m_records[copied].packetsOut};
        m_used = 0;
        return copied;
    }

private:
    ProcessIoTotals m_records[kMaxProcessTotals] = {};
    int m_used = 0;
};
