#pragma once

#include <cstdint>

#include "hostinfo/NetIoRecord.h"

// Per-process byte totals of one drain interval, for at most 50 processes; a further process
// is dropped until the next drain. Records are reused: a drain only resets the count in use.
// Not locked: the owner guards it.
class ProcessIoTable {
public:
    // Adds to the process's totals; false (nothing added) when 50 other processes hold records.
    bool add(uint32_t pid, uint32_t in, uint32_t out)
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
        return true;
    }

    // Adds to the process's totals what keeps each of them below 2^32, and says how much of
    // in and out it took; false (nothing taken) when 50 other processes hold records.
    bool addUpTo(uint32_t pid, uint64_t in, uint64_t out, uint64_t& inTaken, uint64_t& outTaken)
    {
        inTaken = outTaken = 0;
        ProcessIoTotals* record = find(pid);
        if (!record) {
            if (m_used >= kMaxProcessTotals)
                return false;
            record = &m_records[m_used++];
            *record = {pid, 0, 0};
        }
        constexpr uint64_t kMax = UINT32_MAX;
        inTaken = in < kMax - record->in ? in : kMax - record->in;
        outTaken = out < kMax - record->out ? out : kMax - record->out;
        record->in += uint32_t(inTaken);
        record->out += uint32_t(outTaken);
        return true;
    }

    bool full() const { return m_used >= kMaxProcessTotals; }

    // Copies the records in use as {pid, in, out}, at most max, and starts a new interval.
    int drain(IoTriple* out, int max)
    {
        int copied = 0;
        for (; out && copied < m_used && copied < max; ++copied)
            out[copied] = {m_records[copied].pid, m_records[copied].in, m_records[copied].out};
        m_used = 0;
        return copied;
    }

private:
    ProcessIoTotals* find(uint32_t pid)
    {
        for (int i = 0; i < m_used; ++i)
            if (m_records[i].pid == pid)
                return &m_records[i];
        return nullptr;
    }

    ProcessIoTotals m_records[kMaxProcessTotals] = {};
    int m_used = 0;
};
