#include "history/HostEntries.h"

#include <algorithm>
#include <unordered_map>

namespace history {

namespace {

void putNumber(std::string& out, uint64_t v)
{
    while (v >= 0x80) {
        out.push_back(char(uint8_t(v) | 0x80));
        v >>= 7;
    }
    out.push_back(char(uint8_t(v)));
}

bool getNumber(std::string_view in, size_t& pos, uint64_t& v)
{
    v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (pos >= in.size())
            return false;
        const uint8_t byte = uint8_t(in[pos++]);
        if (shift == 63 && byte > 1)
            return false;  // beyond 64 bits
        v |= uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

// Signed differences as unsigned numbers, small either side of zero: 0, -1, 1, -2 ...
uint64_t zigzag(int64_t v)
{
    return (uint64_t(v) << 1) ^ uint64_t(v >> 63);
}

int64_t unzigzag(uint64_t v)
{
    return int64_t(v >> 1) ^ -int64_t(v & 1);
}

bool keyLess(const HostEntry& a, const HostEntry& b)
{
    return a.host != b.host ? a.host < b.host : a.service < b.service;
}

void addInto(HostEntry& to, const HostEntry& from)
{
    to.received = addCount(to.received, from.received);
    to.sent = addCount(to.sent, from.sent);
    to.packetsReceived = addCount(to.packetsReceived, from.packetsReceived);
    to.packetsSent = addCount(to.packetsSent, from.packetsSent);
}

} // namespace

uint32_t serviceCode(uint8_t ipProtocol, uint16_t portClass)
{
    const uint32_t code = ipProtocol == 6 ? 1 : ipProtocol == 17 ? 2 : 3;
    return uint32_t(portClass) << 2 | code;
}

uint8_t serviceProtocol(uint32_t service)
{
    switch (service & 3) {
    case 1: return 6;
    case 2: return 17;
    default: return 0;
    }
}

uint16_t servicePort(uint32_t service)
{
    return uint16_t(service >> 2);
}

std::string encodeEntries(const std::vector<HostEntry>& entries)
{
    std::string out;
    out.reserve(entries.size() * 10);
    uint32_t previous = 0, previousService = 0;
    for (const HostEntry& e : entries) {
        const bool serviceChanges = e.service != previousService;
        putNumber(out, uint64_t(e.host - previous) << 1 | (serviceChanges ? 1 : 0));
        if (serviceChanges)
            putNumber(out, zigzag(int64_t(e.service) - int64_t(previousService)));
        previous = e.host;
        previousService = e.service;
        putNumber(out, e.received);
        putNumber(out, e.sent);
        putNumber(out, e.packetsReceived);
        putNumber(out, e.packetsSent);
    }
    return out;
}

bool decodeEntries(std::string_view blob, std::vector<HostEntry>& out)
{
    out.clear();
    const auto bad = [&] {
        out.clear();
        return false;
    };
    size_t pos = 0;
    uint64_t previous = 0;
    int64_t previousService = 0;
    while (pos < blob.size()) {
        uint64_t head = 0, v[4];
        if (!getNumber(blob, pos, head))
            return bad();
        if ((head >> 1) > UINT32_MAX - previous)
            return bad();
        previous += head >> 1;
        if (head & 1) {
            uint64_t step = 0;
            if (!getNumber(blob, pos, step))
                return bad();
            const int64_t serviceStep = unzigzag(step);
            if (serviceStep < -previousService || serviceStep > int64_t(UINT32_MAX) - previousService)
                return bad();
            previousService += serviceStep;
        }
        for (uint64_t& x : v)
            if (!getNumber(blob, pos, x))
                return bad();
        HostEntry e;
        e.host = uint32_t(previous);
        e.service = uint32_t(previousService);
        e.received = std::min(v[0], kMaxCount);
        e.sent = std::min(v[1], kMaxCount);
        e.packetsReceived = std::min(v[2], kMaxCount);
        e.packetsSent = std::min(v[3], kMaxCount);
        if (!out.empty() && !keyLess(out.back(), e))
            return bad();
        out.push_back(e);
    }
    return true;
}

void mergeEntries(std::vector<HostEntry>& into, const std::vector<HostEntry>& add)
{
    if (add.empty())
        return;
    std::vector<HostEntry> merged;
    merged.reserve(into.size() + add.size());
    size_t i = 0, j = 0;
    while (i < into.size() || j < add.size()) {
        if (j >= add.size() || (i < into.size() && keyLess(into[i], add[j]))) {
            merged.push_back(into[i++]);
        } else if (i >= into.size() || keyLess(add[j], into[i])) {
            merged.push_back(add[j++]);
        } else {
            HostEntry e = into[i++];
            addInto(e, add[j++]);
            merged.push_back(e);
        }
    }
    into.swap(merged);
}

int foldHosts(std::vector<HostEntry>& entries, int maxHosts)
{
    if (maxHosts <= 0)
        return 0;
    std::unordered_map<uint32_t, uint64_t> bytesOf;
    for (const HostEntry& e : entries)
        if (e.host != kOtherHosts)
            bytesOf[e.host] = addCount(bytesOf[e.host], e.bytes());
    if (bytesOf.size() <= size_t(maxHosts))
        return 0;
    std::vector<std::pair<uint64_t, uint32_t>> ranked;
    ranked.reserve(bytesOf.size());
    for (const auto& [host, bytes] : bytesOf)
        ranked.emplace_back(bytes, host);
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::unordered_map<uint32_t, bool> keep;
    for (size_t i = 0; i < size_t(maxHosts); ++i)
        keep[ranked[i].second] = true;

    HostEntry other;
    other.host = kOtherHosts;
    other.service = 0;
    std::vector<HostEntry> kept;
    kept.reserve(size_t(maxHosts) + 1);
    for (const HostEntry& e : entries) {
        if (e.host != kOtherHosts && keep.count(e.host))
            kept.push_back(e);
        else
            addInto(other, e);
    }
    // Other hosts sort first (host 0, service 0); kept entries keep their order.
    kept.insert(kept.begin(), other);
    entries.swap(kept);
    return int(ranked.size()) - maxHosts;
}

HostEntry totalOf(const std::vector<HostEntry>& entries)
{
    HostEntry sum;
    for (const HostEntry& e : entries)
        addInto(sum, e);
    return sum;
}

} // namespace history
