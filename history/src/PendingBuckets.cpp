#include "PendingBuckets.h"

#include <algorithm>
#include <functional>
#include <unordered_set>
#include <vector>

#include "history/HostEntries.h"

namespace history {

namespace {

uint64_t hostKey(const XLedgerRow& row)
{
    if (row.remoteAddress == 0)
        return 0;
    return uint64_t(row.remoteAddress) << 32 | serviceCode(row.protocol, row.remotePortClass);
}

void addHost(PendingHost& to, const PendingHost& from)
{
    to.received = addCount(to.received, from.received);
    to.sent = addCount(to.sent, from.sent);
    to.packetsReceived = addCount(to.packetsReceived, from.packetsReceived);
    to.packetsSent = addCount(to.packetsSent, from.packetsSent);
    if (!from.dnsName.empty())
        to.dnsName = from.dnsName;
}

} // namespace

size_t ProgramKeyHash::operator()(const ProgramKey& k) const
{
    const size_t a = std::hash<std::string>()(k.name);
    return a ^ (std::hash<std::string>()(k.path) + 0x9e3779b97f4a7c15ull + (a << 6) + (a >> 2));
}

int foldPendingHosts(PendingProgram& program, size_t keep)
{
    std::unordered_map<uint32_t, uint64_t> bytesOf;
    for (const auto& [key, host] : program.hosts)
        if (key != 0)
            bytesOf[uint32_t(key >> 32)] = addCount(bytesOf[uint32_t(key >> 32)], host.bytes());
    if (bytesOf.size() <= keep)
        return 0;
    std::vector<std::pair<uint64_t, uint32_t>> ranked;
    ranked.reserve(bytesOf.size());
    for (const auto& [address, bytes] : bytesOf)
        ranked.emplace_back(bytes, address);
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::unordered_set<uint32_t> kept;
    for (size_t i = 0; i < keep; ++i)
        kept.insert(ranked[i].second);
    PendingHost other;
    for (auto it = program.hosts.begin(); it != program.hosts.end();) {
        if (it->first != 0 && !kept.count(uint32_t(it->first >> 32))) {
            PendingHost folded = it->second;
            folded.dnsName.clear();
            addHost(other, folded);
            it = program.hosts.erase(it);
        } else {
            ++it;
        }
    }
    addHost(program.hosts[0], other);
    return int(ranked.size() - keep);
}

int PendingBuckets::add(int64_t bucketStart, int64_t placedMs, const XLedger& ledger, int hostsPerProgram)
{
    if (ledger.rows.empty() && ledger.disk.empty())
        return 0;
    if (m_buckets.empty() || placedMs < m_earliestMs)
        m_earliestMs = placedMs;
    m_latestMs = std::max(m_latestMs, placedMs);
    PendingBucket& bucket = m_buckets[bucketStart];
    int folded = 0;
    const auto programOf = [&](const std::string& name, const std::string& path) -> PendingProgram& {
        auto [it, inserted] = bucket.programs.try_emplace(ProgramKey{name, path});
        if (inserted)
            ++m_entries;
        return it->second;
    };
    for (const XLedgerRow& row : ledger.rows) {
        PendingProgram& program = programOf(row.program, row.path);
        auto [it, inserted] = program.hosts.try_emplace(hostKey(row));
        if (inserted)
            ++m_entries;
        PendingHost delta;
        delta.received = row.bytes[0];
        delta.sent = row.bytes[1];
        delta.packetsReceived = row.packets[0];
        delta.packetsSent = row.packets[1];
        if (row.remoteAddress != 0)
            delta.dnsName = row.dnsName;
        addHost(it->second, delta);
        if (hostsPerProgram > 0 && program.hosts.size() > size_t(hostsPerProgram) * 2) {
            const size_t before = program.hosts.size();
            folded += foldPendingHosts(program, size_t(hostsPerProgram));
            m_entries -= before - program.hosts.size();
        }
    }
    for (const XLedgerDisk& disk : ledger.disk) {
        PendingProgram& program = programOf(disk.program, disk.path);
        program.diskRead = addCount(program.diskRead, disk.read);
        program.diskWritten = addCount(program.diskWritten, disk.written);
    }
    return folded;
}

PendingBuckets::Squeeze PendingBuckets::bound(size_t maxEntries)
{
    Squeeze done;
    while (m_entries > maxEntries && !m_buckets.empty()) {
        auto it = std::find_if(m_buckets.begin(), m_buckets.end(), [](const auto& b) { return !b.second.coarsened; });
        if (it != m_buckets.end()) {
            for (auto& [key, program] : it->second.programs)
                foldPendingHosts(program, 0);
            it->second.coarsened = true;
            ++done.coarsened;
        } else {
            PendingBuckets one;
            one.m_buckets.insert(m_buckets.extract(m_buckets.begin()));
            done.bytesDropped += one.networkBytes();
            ++done.dropped;
        }
        recount();
    }
    return done;
}

PendingBuckets PendingBuckets::take()
{
    PendingBuckets out;
    std::swap(out, *this);
    return out;
}

void PendingBuckets::putBack(PendingBuckets&& batch)
{
    if (batch.empty())
        return;
    if (m_buckets.empty()) {
        *this = std::move(batch);
        return;
    }
    for (auto& [start, older] : batch.m_buckets) {
        PendingBucket& into = m_buckets[start];
        into.coarsened = into.coarsened || older.coarsened;
        for (auto& [key, program] : older.programs) {
            PendingProgram& p = into.programs[key];
            p.diskRead = addCount(p.diskRead, program.diskRead);
            p.diskWritten = addCount(p.diskWritten, program.diskWritten);
            for (auto& [hostKey, host] : program.hosts) {
                PendingHost& h = p.hosts[hostKey];
                const std::string newer = h.dnsName;
                addHost(h, host);
                if (!newer.empty())
                    h.dnsName = newer;
            }
        }
    }
    m_earliestMs = std::min(m_earliestMs, batch.m_earliestMs);
    m_latestMs = std::max(m_latestMs, batch.m_latestMs);
    recount();
}

void PendingBuckets::forgetProgram(const std::string& name, const std::string& path)
{
    for (auto& [start, bucket] : m_buckets)
        for (auto it = bucket.programs.begin(); it != bucket.programs.end();)
            it = (it->first.name == name && (path.empty() || it->first.path == path)) ? bucket.programs.erase(it) : std::next(it);
    recount();
}

void PendingBuckets::forgetHost(uint32_t address)
{
    for (auto& [start, bucket] : m_buckets)
        for (auto& [key, program] : bucket.programs)
            for (auto it = program.hosts.begin(); it != program.hosts.end();)
                it = (it->first != 0 && uint32_t(it->first >> 32) == address) ? program.hosts.erase(it) : std::next(it);
    recount();
}

void PendingBuckets::clear()
{
    *this = PendingBuckets();
}

uint64_t PendingBuckets::networkBytes() const
{
    uint64_t sum = 0;
    for (const auto& [start, bucket] : m_buckets)
        for (const auto& [key, program] : bucket.programs)
            for (const auto& [hostKey, host] : program.hosts)
                sum = addCount(sum, host.bytes());
    return sum;
}

void PendingBuckets::recount()
{
    m_entries = 0;
    for (auto it = m_buckets.begin(); it != m_buckets.end();) {
        if (it->second.programs.empty()) {
            it = m_buckets.erase(it);
            continue;
        }
        for (const auto& [key, program] : it->second.programs)
            m_entries += 1 + program.hosts.size();
        ++it;
    }
}

} // namespace history
