#include "capture/XLedgerBook.h"

bool XLedgerBook::kept() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_kept;
}

uint32_t XLedgerBook::programIndex(uint32_t pid, const ProgramOf& programOf, uint64_t& folded)
{
    // A pid seen in this interval is asked for once.
    const auto known = m_pidIndex.find(pid);
    if (known != m_pidIndex.end())
        return known->second;
    Program program;
    if (pid != 0 && programOf) {
        XProcessRunTotals::Program p = programOf(pid);
        program = {std::move(p.name), std::move(p.path)};
    }
    const uint32_t index = indexOf(std::move(program), folded);
    m_pidIndex.emplace(pid, index);
    return index;
}

uint32_t XLedgerBook::indexOf(Program program, uint64_t& folded)
{
    const auto found = m_programIndex.find(program);
    if (found != m_programIndex.end())
        return found->second;
    if (m_programs.size() >= kMaxPrograms && !(program.first.empty() && program.second.empty())) {
        ++folded;
        return indexOf(Program{}, folded);
    }
    m_programIndex.emplace(program, uint32_t(m_programs.size()));
    m_programs.push_back(std::move(program));
    return uint32_t(m_programs.size() - 1);
}

uint64_t XLedgerBook::add(const std::vector<XNetPair>& pairs, const std::vector<IoTriple>& disk,
                          const ProgramOf& programOf)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_kept)
        return 0;
    uint64_t folded = 0;
    m_pidIndex.clear();
    for (const XNetPair& p : pairs) {
        const uint32_t program = programIndex(p.pid, programOf, folded);
        Key key{program, p.remoteAddress, uint32_t(p.protocol) << 16 | p.portClass};
        auto it = m_rows.find(key);
        if (it == m_rows.end() && m_rows.size() >= kMaxRows + m_folds) {
            ++folded;
            key = {program, 0, uint32_t(p.protocol) << 16};
            it = m_rows.find(key);
            if (it == m_rows.end()) {
                it = m_rows.try_emplace(key).first;
                ++m_folds;
            }
        } else if (it == m_rows.end()) {
            it = m_rows.try_emplace(key).first;
        }
        for (int d = 0; d < 2; ++d) {
            it->second.bytes[d] += p.bytes[d];
            it->second.packets[d] += p.packets[d];
        }
    }
    for (const IoTriple& t : disk) {
        if (t.pid == 0 || (t.in == 0 && t.out == 0))
            continue;
        Disk& d = m_disk[programIndex(t.pid, programOf, folded)];
        d.read += t.in;
        d.written += t.out;
    }
    return folded;
}

bool XLedgerBook::take(XLedger& out, uint64_t wallMs, uint32_t tick)
{
    out = XLedger{};
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_kept) {
        m_kept = true;
        m_lastWallMs = wallMs;
        m_lastTick = tick;
        return false;
    }
    out.wallStartMs = m_lastWallMs;
    out.wallEndMs = wallMs;
    out.spanMs = tick - m_lastTick;
    m_lastWallMs = wallMs;
    m_lastTick = tick;
    out.rows.reserve(m_rows.size());
    for (const auto& [key, counts] : m_rows) {
        XLedgerRow& row = out.rows.emplace_back();
        row.program = m_programs[key.program].first;
        row.path = m_programs[key.program].second;
        row.remoteAddress = key.remoteAddress;
        row.protocol = uint8_t(key.kind >> 16);
        row.remotePortClass = uint16_t(key.kind);
        for (int d = 0; d < 2; ++d) {
            row.bytes[d] = counts.bytes[d];
            row.packets[d] = counts.packets[d];
        }
    }
    out.disk.reserve(m_disk.size());
    for (const auto& [program, d] : m_disk)
        out.disk.push_back({m_programs[program].first, m_programs[program].second, d.read, d.written});
    m_rows.clear();
    m_folds = 0;
    m_disk.clear();
    m_programIndex.clear();
    m_programs.clear();
    return true;
}
