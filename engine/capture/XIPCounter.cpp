#include "capture/XIPCounter.h"

#include <cstring>
#include <string_view>

#include "capture/XAsciiCase.h"
#include "capture/XDNSRecord.h"

namespace {

struct ChatProgram {
    char executable[XIPCounter::kNameSize];
    char displayName[XIPCounter::kNameSize];
};

ChatProgram g_programs[XIPCounter::kMaxPrograms];
int g_programCount = 0;

// The name without one trailing ".exe" in any letter case: a Windows client run under Wine
// and a native client of the same program then match one registration.
std::string_view stem(std::string_view name)
{
    constexpr std::string_view ext = ".exe";
    if (name.size() > ext.size() && equalsIgnoreCase(name.substr(name.size() - ext.size()), ext))
        name.remove_suffix(ext.size());
    return name;
}

} // namespace

void XIPCounter::copyString(char* dst, const char* src, int n)
{
    if (!dst || !src || n <= 0)
        return;
    for (int i = 0; i < n; ++i) {
        dst[i] = src[i];
        if (src[i] == 0)
            return;
    }
    dst[n - 1] = 0;
}

void XIPCounter::addICQProcessName(const char* executable, const char* displayName)
{
    if (g_programCount == 0)
        std::memset(g_programs, 0, sizeof g_programs);
    if (g_programCount >= kMaxPrograms)
        return;
    copyString(g_programs[g_programCount].executable, executable, kNameSize);
    copyString(g_programs[g_programCount].displayName, displayName, kNameSize);
    ++g_programCount;
}

void XIPCounter::clearICQProcessNames()
{
    g_programCount = 0;
    std::memset(g_programs, 0, sizeof g_programs);
}

int XIPCounter::icqProcessCount()
{
    return g_programCount;
}

const char* XIPCounter::isICQProcess(const char* name)
{
    if (!name || !*name)
        return nullptr;
    const std::string_view wanted = stem(std::string_view(name, strnlen(name, kNameSize)));
    for (int i = 0; i < g_programCount; ++i) {
        const ChatProgram& p = g_programs[i];
        if (p.executable[0] && equalsIgnoreCase(stem(p.executable), wanted))
            return p.displayName;
    }
    return nullptr;
}

XIPCounter::XIPCounter(unsigned long localIP, unsigned short localPort)
    : XRecordCounter(localIP, localPort, kIPCounter)
{
}

XIPCounter::~XIPCounter() = default;

void XIPCounter::init()
{
    init(XDNSRecord::Instance());
}

void XIPCounter::init(XDNSRecord* dns)
{
    XLockGuard guard(m_lock);
    m_dns = dns;
}

void XIPCounter::addICQCounter(const _X_R_PACKETCOUNTER* r)
{
    if (!r)
        return;
    if (m_dns && m_dns->hasDNSName(r->address))
        return;
    const char* display = isICQProcess(r->programName);
    if (!display)
        return;
    XLockGuard guard(m_lock);
    // A pending clear must not release the record adopted now.
    applyPendingClear();
    if (m_records.count(r->address))
        return;
    _X_R_PACKETCOUNTER* mine = m_pool.take();
    if (!mine)
        return;
    *mine = *r;
    copyString(mine->programName, display, kNameSize);
    mine->bytes[0] = mine->bytes[1] = 0;
    mine->packets[0] = mine->packets[1] = 0;
    insertRecord(mine);
}

void XIPCounter::count(unsigned long ip, int, int size, int direction, int packets)
{
    if (direction != 0 && direction != 1)
        return;
    XLockGuard guard(m_lock);
    applyPendingClear();
    const auto it = m_records.find(uint32_t(ip));
    if (it == m_records.end())
        return;
    const uint32_t now = this->now();
    _X_R_PACKETCOUNTER* r = it->second;
    r->bytes[direction] += size;
    r->packets[direction] += packets;
    r->lastUpdate = now;
    m_lastUpdate = now;
}

bool XIPCounter::listedByGetIPs(const _X_R_PACKETCOUNTER& r) const
{
    return r.bytes[0] > 0 && r.bytes[1] > 0 && (r.bytes[0] > 5120 || r.bytes[1] > 5120);
}
