#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hostinfo/NetIoRecord.h"

// Per-process byte totals of one drain interval. Grows with the processes that have I/O, up
// to kMaxProcesses in one interval; the bytes of any further process are added to the entry
// of pid 0 (no process) and counted as folded, so no byte is lost. An open-addressing table:
// an add is one probe in memory that stays in the cache for the few processes a second
// usually has. Not locked: the owner guards it.
class ProcessIoTable {
public:
    static constexpr size_t kMaxProcesses = 16384;

    ProcessIoTable() { resize(kMinSlots); }

    // Adds to the process's totals; false when the bytes went to the pid 0 entry because
    // kMaxProcesses other processes hold entries.
    bool add(uint32_t pid, uint64_t in, uint64_t out, uint64_t packetsIn = 0, uint64_t packetsOut = 0)
    {
        Slot* slot = find(pid);
        bool own = true;
        if (!slot->used) {
            if (m_order.size() >= kMaxProcesses && pid != 0) {
                own = false;
                slot = find(0);
            }
            if (!slot->used)
                slot = insert(slot, own ? pid : 0);
        }
        slot->in += in;
        slot->out += out;
        slot->packetsIn += packetsIn;
        slot->packetsOut += packetsOut;
        return own;
    }

    // Replaces out with the entries, in the order they appeared, and starts
    // a new interval.
    void drain(std::vector<IoTriple>& out)
    {
        out.clear();
        out.reserve(m_order.size());
        for (const uint32_t i : m_order) {
            out.push_back({m_slots[i].pid, m_slots[i].in, m_slots[i].out, m_slots[i].packetsIn, m_slots[i].packetsOut});
            m_slots[i] = Slot{};
        }
        m_order.clear();
        if (m_slots.size() > kMinSlots && out.size() * 8 < m_slots.size())
            resize(m_slots.size() / 2);
    }

    size_t size() const { return m_order.size(); }

private:
    struct Slot {
        uint32_t pid = 0;
        bool used = false;
        uint64_t in = 0;
        uint64_t out = 0;
        uint64_t packetsIn = 0;
        uint64_t packetsOut = 0;
    };
    static constexpr size_t kMinSlots = 64;

    Slot* find(uint32_t pid)
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = size_t((pid * 0x9E3779B1u) >> m_shift);; i = (i + 1) & mask)
            if (!m_slots[i].used || m_slots[i].pid == pid)
                return &m_slots[i];
    }

    Slot* insert(Slot* at, uint32_t pid)
    {
        if ((m_order.size() + 1) * 2 > m_slots.size()) {
            resize(m_slots.size() * 2);
            at = find(pid);
        }
        at->used = true;
        at->pid = pid;
        m_order.push_back(uint32_t(at - m_slots.data()));
        return at;
    }

    void resize(size_t slotCount)
    {
        std::vector<Slot> old(slotCount);
        old.swap(m_slots);
        std::vector<uint32_t> order;
        order.swap(m_order);
        m_shift = 32;
        for (size_t n = slotCount; n > 1; n >>= 1)
            --m_shift;
        for (const uint32_t i : order) {
            Slot* at = find(old[i].pid);
            *at = old[i];
            m_order.push_back(uint32_t(at - m_slots.data()));
        }
    }

    std::vector<Slot> m_slots;     // a power of two, at most half full
    std::vector<uint32_t> m_order; // indices of the slots in use, in order of use
    int m_shift = 26;              // 32 - log2(slots)
};
