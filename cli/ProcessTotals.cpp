#include "ProcessTotals.h"

#include <algorithm>

#include "platform/Processes.h"

ProcessTotals::Row& ProcessTotals::rowFor(uint32_t pid)
{
    auto [it, inserted] = m_rows.try_emplace(pid);
    if (inserted) {
        it->second.pid = pid;
        it->second.name = platform::processImageName(pid);  // named while it still runs
    }
    return it->second;
}

void ProcessTotals::addNet(const IoTriple* triples, int count)
{
    for (int i = 0; i < count; ++i) {
        Row& row = rowFor(triples[i].pid);
        row.received += triples[i].in;
        row.sent += triples[i].out;
    }
}

void ProcessTotals::addDisk(const IoTriple* triples, int count)
{
    for (int i = 0; i < count; ++i) {
        Row& row = rowFor(triples[i].pid);
        row.read += triples[i].in;
        row.written += triples[i].out;
    }
}

std::vector<ProcessTotals::Row> ProcessTotals::rows() const
{
    std::vector<Row> out;
    out.reserve(m_rows.size());
    for (const auto& [pid, row] : m_rows)
        out.push_back(row);
    std::stable_sort(out.begin(), out.end(), [](const Row& a, const Row& b) {
        return a.sent + a.received + a.read + a.written > b.sent + b.received + b.read + b.written;
    });
    return out;
}
