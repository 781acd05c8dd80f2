#include "capture/XNetPairTable.h"

#include <bit>

XNetPairTable::XNetPairTable()
{
    resize(kMinSlots);
}

void XNetPairTable::resize(size_t slotCount)
{
    std::vector<Slot> old;
    old.swap(m_slots);
    std::vector<uint32_t> used;
    used.swap(m_used);
    m_slots.assign(slotCount, Slot{});
    m_used.reserve(used.size());
    m_shift = 64 - std::countr_zero(slotCount);
    for (const uint32_t i : used) {
        bool found = false;
        Slot* at = find(old[i].pidAddress, old[i].kind, found);
        *at = old[i];
        m_used.push_back(uint32_t(at - m_slots.data()));
    }
}

XNetPairTable::Slot* XNetPairTable::find(uint64_t pidAddress, uint32_t kind, bool& found)
{
    const uint64_t h = (pidAddress ^ (uint64_t(kind) << 44 | kind)) * 0x9E3779B97F4A7C15ull;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = size_t(h >> m_shift);; i = (i + 1) & mask) {
        Slot& s = m_slots[i];
        if (!s.used || (s.pidAddress == pidAddress && s.kind == kind)) {
            found = s.used;
            return &s;
        }
    }
}

XNetPairTable::Slot* XNetPairTable::insert(Slot* at, uint64_t pidAddress, uint32_t kind)
{
    if ((m_used.size() + 1) * 10 > m_slots.size() * 7) {
        resize(m_slots.size() * 2);
        bool found = false;
        at = find(pidAddress, kind, found);
    }
    at->used = true;
    at->pidAddress = pidAddress;
    at->kind = kind;
    m_used.push_back(uint32_t(at - m_slots.data()));
    return at;
}

XNetPairTable::Fold XNetPairTable::add(uint32_t pid, uint32_t remoteAddress, uint8_t protocol, uint16_t portClass,
                                       int direction, uint64_t bytes, uint64_t packets)
{
    uint64_t pidAddress = uint64_t(pid) << 32 | remoteAddress;
    uint32_t kind = uint32_t(protocol) << 16 | portClass;
    bool found = false;
    Slot* slot = find(pidAddress, kind, found);
    Fold fold = Fold::None;
    if (!found && m_used.size() >= kMaxPairs + m_folds) {
        // Full: the process's other hosts share one entry, and once those are many too, the
        // traffic keeps only its protocol.
        fold = Fold::Host;
        pidAddress = uint64_t(pid) << 32;
        kind = uint32_t(protocol) << 16;
        slot = find(pidAddress, kind, found);
        if (!found && m_folds >= kMaxFolds) {
            fold = Fold::Process;
            pidAddress = 0;
            slot = find(pidAddress, kind, found);
        }
        if (!found)
            ++m_folds;
    }
    if (!found)
        slot = insert(slot, pidAddress, kind);
    slot->bytes[direction] += bytes;
    slot->packets[direction] += packets;
    return fold;
}

void XNetPairTable::drain(std::vector<XNetPair>& out)
{
    out.clear();
    out.reserve(m_used.size());
    for (const uint32_t i : m_used) {
        Slot& s = m_slots[i];
        XNetPair& p = out.emplace_back();
        p.pid = uint32_t(s.pidAddress >> 32);
        p.remoteAddress = uint32_t(s.pidAddress);
        p.protocol = uint8_t(s.kind >> 16);
        p.portClass = uint16_t(s.kind);
        p.bytes[0] = s.bytes[0];
        p.bytes[1] = s.bytes[1];
        p.packets[0] = s.packets[0];
        p.packets[1] = s.packets[1];
        s = Slot{};
    }
    m_used.clear();
    m_folds = 0;
    // A burst's table is given back once the traffic is quiet again.
    if (m_slots.size() > kMinSlots && out.size() * 8 < m_slots.size())
        resize(m_slots.size() / 2);
}
