#include "history/HistoryReader.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <unordered_set>

#include "QueryPlan.h"
#include "history/HostEntries.h"
#include "history/Schema.h"

namespace history {

namespace {

using RowFn = std::function<void(int64_t key, const Statement& row, int point)>;

void addUsage(Usage& to, uint64_t received, uint64_t sent, uint64_t packetsReceived, uint64_t packetsSent)
{
    to.received = addCount(to.received, received);
    to.sent = addCount(to.sent, sent);
    to.packetsReceived = addCount(to.packetsReceived, packetsReceived);
    to.packetsSent = addCount(to.packetsSent, packetsSent);
}

uint64_t column(const Statement& row, int c)
{
    const int64_t v = row.int64(c);
    return v > 0 ? uint64_t(v) : 0;
}

template <typename T>
void rankAndShare(std::vector<T>& rows)
{
    uint64_t sum = 0;
    for (const T& r : rows)
        sum = addCount(sum, r.net.total());
    for (T& r : rows)
        r.share = sum ? double(r.net.total()) / double(sum) : 0.0;
    std::stable_sort(rows.begin(), rows.end(), [](const T& a, const T& b) { return a.net.total() > b.net.total(); });
}

Answer failure(const std::string& why)
{
    Answer a;
    a.error = why;
    return a;
}

} // namespace

bool HistoryReader::open(const std::string& path, std::string* error, const char* vfs)
{
    m_hostLookup = Statement();
    m_programs.clear();
    m_hosts.clear();
    m_dataVersion = -1;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (error)
            *error = "no history at " + path;
        return false;
    }
    if (!m_db.open(path, Database::Mode::ReadOnly, error, vfs))
        return false;
    m_db.exec("PRAGMA busy_timeout=2000");
    const int64_t version = m_db.queryInt("PRAGMA user_version", -1);
    std::string why;
    if (version < 0)
        why = "not a history database: " + m_db.lastError();
    else if (version == 0)
        why = "nothing recorded yet";
    else if (version > Schema::kVersion)
        why = "made by a newer version of Lumivex";
    if (!why.empty()) {
        if (error)
            *error = path + ": " + why;
        m_db.close();
        return false;
    }
    return true;
}

bool HistoryReader::refreshNames()
{
    const int64_t version = m_db.queryInt("PRAGMA data_version", -1);
    if (version == m_dataVersion && !m_programs.empty())
        return true;
    m_dataVersion = version;
    m_programs.clear();
    m_hosts.clear();
    Statement st = m_db.prepare("SELECT id, name, path FROM programs");
    int rc;
    while ((rc = st.step()) == SQLITE_ROW)
        m_programs[st.int64(0)] = {st.text(1), st.text(2)};
    return rc == SQLITE_DONE;
}

const HistoryReader::HostName* HistoryReader::hostName(uint32_t id)
{
    if (const auto it = m_hosts.find(id); it != m_hosts.end())
        return &it->second;
    if (!m_hostLookup.valid())
        m_hostLookup = m_db.prepare("SELECT address, dns_name, location FROM hosts WHERE id = ?1");
    Statement& st = m_hostLookup;
    st.bind(1, int64_t(id));
    HostName name;
    if (st.step() == SQLITE_ROW) {
        name.address = uint32_t(st.int64(0));
        name.dnsName = st.text(1);
        name.location = st.text(2);
    }
    st.reset();
    // An id the file does not name stays unnamed (address 0 is never a real host).
    return &m_hosts.emplace(id, std::move(name)).first->second;
}

std::vector<int64_t> HistoryReader::programIds(const Filter& filter)
{
    std::vector<int64_t> ids;
    if (!filter.byProgram())
        return ids;
    if (filter.programId)
        ids.push_back(*filter.programId);
    else
        for (const auto& [id, names] : m_programs)
            if (names.first == filter.program || names.second == filter.program)
                ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

Horizons HistoryReader::horizons()
{
    Horizons out;
    out.purgedBefore.fill(std::numeric_limits<int64_t>::min());
    out.completeUntil.fill(std::numeric_limits<int64_t>::min());
    out.completeUntil[size_t(Tier::FiveMinutes)] = std::numeric_limits<int64_t>::max();
    Statement st = m_db.prepare("SELECT key, value FROM meta");
    while (st.step() == SQLITE_ROW) {
        const std::string key = st.text(0);
        for (Tier tier : kAllTiers) {
            if (key == std::string("purged_before_") + tierName(tier))
                out.purgedBefore[size_t(tier)] = st.int64(1);
            else if (tier != Tier::FiveMinutes && key == std::string("complete_until_") + tierName(tier))
                out.completeUntil[size_t(tier)] = st.int64(1);
        }
    }
    return out;
}

template <typename RowFnT>
bool HistoryReader::scan(const std::vector<PlannedPiece>& pieces, bool withHosts, const std::vector<int64_t>* programs,
                         RowFnT&& fn, std::string* error)
{
    std::string filter;
    if (programs) {
        filter = " AND (key & " + std::to_string(Schema::kProgramMask) + ") IN (";
        for (size_t i = 0; i < programs->size(); ++i)
            filter += (i ? "," : "") + std::to_string((*programs)[i]);
        filter += ")";
    }
    std::array<Statement, kTiers> statements;
    for (const PlannedPiece& piece : pieces) {
        Statement& st = statements[size_t(piece.tier)];
        if (!st.valid()) {
            // Host lists are read from their own table, in the same column places.
            st = m_db.prepare(withHosts ? std::string("SELECT key, 0, 0, 0, 0, 0, 0, hosts FROM ") + tierHostsTable(piece.tier) +
                                              " WHERE key >= ?1 AND key < ?2" + filter
                                        : std::string("SELECT key, received, sent, packets_received, packets_sent, disk_read,"
                                                      " disk_written FROM ") + tierTable(piece.tier) +
                                              " WHERE key >= ?1 AND key < ?2" + filter);
            if (!st.valid()) {
                if (error)
                    *error = m_db.lastError();
                return false;
            }
        }
        st.bind(1, Schema::rowKey(piece.from, 0)).bind(2, Schema::rowKey(piece.to, 0));
        int rc;
        while ((rc = st.step()) == SQLITE_ROW)
            fn(st.int64(0), st, piece.point);
        st.reset();
        if (rc != SQLITE_DONE) {
            if (error)
                *error = m_db.lastError();
            return false;
        }
    }
    return true;
}

Answer HistoryReader::programs(const TimeRange& range, const Filter& filter, std::vector<ProgramUsage>& out)
{
    out.clear();
    if (!m_db.isOpen())
        return failure("no history open");
    if (!m_db.begin(false) || !refreshNames()) {
        m_db.rollback();
        return failure(m_db.lastError());
    }
    Answer answer;
    std::vector<PlannedPiece> pieces;
    planRange(range, horizons(), 0, pieces, answer.covered);
    const std::vector<int64_t> ids = programIds(filter);
    const std::vector<int64_t>* only = filter.byProgram() ? &ids : nullptr;
    std::unordered_set<uint32_t> hostIds;
    if (filter.host) {
        Statement st = m_db.prepare("SELECT id FROM hosts WHERE address = ?1");
        st.bind(1, int64_t(*filter.host));
        while (st.step() == SQLITE_ROW)
            hostIds.insert(uint32_t(st.int64(0)));
    }
    std::map<int64_t, ProgramUsage> byId;
    std::vector<HostEntry> entries;
    const bool ok = scan(pieces, bool(filter.host), only, [&](int64_t key, const Statement& row, int) {
        const int64_t id = Schema::keyProgram(key);
        if (filter.host) {
            if (hostIds.empty() || !decodeEntries(row.blob(7), entries))
                return;
            Usage u;
            bool any = false;
            for (const HostEntry& e : entries)
                if (hostIds.count(e.host)) {
                    addUsage(u, e.received, e.sent, e.packetsReceived, e.packetsSent);
                    any = true;
                }
            if (any)
                addUsage(byId[id].net, u.received, u.sent, u.packetsReceived, u.packetsSent);
            return;
        }
        ProgramUsage& p = byId[id];
        addUsage(p.net, column(row, 1), column(row, 2), column(row, 3), column(row, 4));
        p.diskRead = addCount(p.diskRead, column(row, 5));
        p.diskWritten = addCount(p.diskWritten, column(row, 6));
    }, &answer.error);
    m_db.rollback();
    if (!ok)
        return answer;
    for (auto& [id, usage] : byId) {
        usage.id = id;
        if (const auto it = m_programs.find(id); it != m_programs.end()) {
            usage.name = it->second.first;
            usage.path = it->second.second;
        } else {
            usage.id = 0;
        }
    }
    // Rows the file does not name come together as "other programs".
    ProgramUsage others;
    for (auto& [id, usage] : byId) {
        if (usage.id == 0) {
            addUsage(others.net, usage.net.received, usage.net.sent, usage.net.packetsReceived, usage.net.packetsSent);
            others.diskRead = addCount(others.diskRead, usage.diskRead);
            others.diskWritten = addCount(others.diskWritten, usage.diskWritten);
        } else {
            out.push_back(std::move(usage));
        }
    }
    if (others.net.total() || others.diskRead || others.diskWritten)
        out.push_back(std::move(others));
    rankAndShare(out);
    answer.ok = true;
    return answer;
}

Answer HistoryReader::hosts(const TimeRange& range, const Filter& filter, std::vector<HostUsage>& out)
{
    out.clear();
    if (!m_db.isOpen())
        return failure("no history open");
    if (!m_db.begin(false) || !refreshNames()) {
        m_db.rollback();
        return failure(m_db.lastError());
    }
    Answer answer;
    std::vector<PlannedPiece> pieces;
    planRange(range, horizons(), 0, pieces, answer.covered);
    const std::vector<int64_t> ids = programIds(filter);
    // Per address (0: other hosts); the name and location shown are those of the newest
    // host entry (the highest id) that has a DNS name, else of the newest.
    struct Sum {
        Usage net;
        uint32_t namedBy = 0;
        bool named = false;
        int programs = 0;
    };
    std::unordered_map<uint32_t, Sum> byAddress;
    std::unordered_set<uint64_t> pairs;  // address << 20 | program, to count programs per host
    std::vector<HostEntry> entries;
    const bool ok = scan(pieces, true, filter.byProgram() ? &ids : nullptr, [&](int64_t key, const Statement& row, int) {
        if (!decodeEntries(row.blob(7), entries))
            return;
        const uint64_t program = uint64_t(Schema::keyProgram(key));
        for (const HostEntry& e : entries) {
            const HostName* name = e.host == kOtherHosts ? nullptr : hostName(e.host);
            const uint32_t address = name ? name->address : 0;
            if (filter.host && (address == 0 || address != *filter.host))
                continue;
            Sum& s = byAddress[address];
            addUsage(s.net, e.received, e.sent, e.packetsReceived, e.packetsSent);
            if (pairs.insert(uint64_t(address) << Schema::kProgramBits | program).second)
                ++s.programs;
            const bool hasDns = name && !name->dnsName.empty();
            if (name && (hasDns ? (!s.named || e.host > s.namedBy) : (!s.named && e.host > s.namedBy))) {
                s.namedBy = e.host;
                s.named = hasDns;
            }
        }
    }, &answer.error);
    m_db.rollback();
    if (!ok)
        return answer;
    out.reserve(byAddress.size());
    for (const auto& [address, sum] : byAddress) {
        HostUsage h;
        h.otherHosts = address == 0;
        h.address = address;
        h.net = sum.net;
        h.programs = sum.programs;
        if (sum.namedBy) {
            const HostName* name = hostName(sum.namedBy);
            h.dnsName = name->dnsName;
            h.location = name->location;
        }
        out.push_back(std::move(h));
    }
    // Ties in the ranking fall to the address, so that the order does not depend on hashing.
    std::sort(out.begin(), out.end(), [](const HostUsage& a, const HostUsage& b) { return a.address < b.address; });
    rankAndShare(out);
    answer.ok = true;
    return answer;
}

Answer HistoryReader::locations(const TimeRange& range, const Filter& filter, std::vector<LocationUsage>& out)
{
    out.clear();
    std::vector<HostUsage> hosts;
    Answer answer = this->hosts(range, filter, hosts);
    if (!answer.ok)
        return answer;
    std::map<std::pair<bool, std::string>, LocationUsage> byLocation;
    for (const HostUsage& h : hosts) {
        LocationUsage& l = byLocation[{h.otherHosts, h.otherHosts ? std::string() : h.location}];
        addUsage(l.net, h.net.received, h.net.sent, h.net.packetsReceived, h.net.packetsSent);
        ++l.hosts;
    }
    for (auto& [key, usage] : byLocation) {
        usage.otherHosts = key.first;
        usage.location = key.second;
        out.push_back(std::move(usage));
    }
    rankAndShare(out);
    return answer;
}

Answer HistoryReader::series(const TimeRange& range, Step step, const Filter& filter, std::vector<SeriesPoint>& out)
{
    out.clear();
    if (!m_db.isOpen())
        return failure("no history open");
    if (!m_db.begin(false) || !refreshNames()) {
        m_db.rollback();
        return failure(m_db.lastError());
    }
    Answer answer;
    const std::vector<int64_t> bounds = stepBoundaries(range, step);
    const Horizons horizon = horizons();
    std::vector<PlannedPiece> pieces;
    for (size_t i = 0; i + 1 < bounds.size(); ++i) {
        out.push_back({bounds[i], bounds[i + 1], {}});
        planRange({bounds[i], bounds[i + 1]}, horizon, int(i), pieces, answer.covered);
    }
    const std::vector<int64_t> ids = programIds(filter);
    std::unordered_set<uint32_t> hostIds;
    if (filter.host) {
        Statement st = m_db.prepare("SELECT id FROM hosts WHERE address = ?1");
        st.bind(1, int64_t(*filter.host));
        while (st.step() == SQLITE_ROW)
            hostIds.insert(uint32_t(st.int64(0)));
    }
    std::vector<HostEntry> entries;
    const bool ok = scan(pieces, bool(filter.host), filter.byProgram() ? &ids : nullptr,
                         [&](int64_t, const Statement& row, int point) {
        Usage& u = out[size_t(point)].net;
        if (!filter.host) {
            addUsage(u, column(row, 1), column(row, 2), column(row, 3), column(row, 4));
            return;
        }
        if (hostIds.empty() || !decodeEntries(row.blob(7), entries))
            return;
        for (const HostEntry& e : entries)
            if (hostIds.count(e.host))
                addUsage(u, e.received, e.sent, e.packetsReceived, e.packetsSent);
    }, &answer.error);
    m_db.rollback();
    if (!ok) {
        out.clear();
        return answer;
    }
    answer.ok = true;
    return answer;
}

} // namespace history
