#include "capture/XDNSRecord.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "capture/XAsciiCase.h"

// Host name of the product's own web site; its addresses show a blank name. Set it at
// configure time with -DLUMIVEX_OWN_WEB_HOST=\"name\"; empty blanks nothing.
#ifndef LUMIVEX_OWN_WEB_HOST
#define LUMIVEX_OWN_WEB_HOST ""
#endif

XDNSRecord* XDNSRecord::m_instance = nullptr;

XDNSRecord* XDNSRecord::Instance()
{
    static std::once_flag once;
    std::call_once(once, [] { m_instance = new (std::nothrow) XDNSRecord(LUMIVEX_OWN_WEB_HOST); });
    return m_instance;
}

namespace {

int capacityOf(const XDNSRecord::Limits& limits)
{
    const std::size_t byBytes = limits.bytes / XDNSRecord::kEntryBytes;
    return int(std::max<std::size_t>(1, std::min<std::size_t>(std::size_t(std::max(limits.entries, 1)), byBytes)));
}

} // namespace

XDNSRecord::XDNSRecord(const char* ownWebHost) : XDNSRecord(ownWebHost, Limits{}) {}

XDNSRecord::XDNSRecord(const char* ownWebHost, Limits limits)
    : m_capacity(capacityOf(limits)), m_ownWebHost(ownWebHost ? ownWebHost : "")
{
    m_ownHostCheckDone = m_ownWebHost.empty();
}

XDNSRecord::~XDNSRecord() = default;

XDNSRecord::Entry* XDNSRecord::newEntry()
{
    if (m_taken < m_capacity) {
        if (!m_currentBlock || m_usedInBlock >= kBlockEntries) {
            const int size = std::min(kBlockEntries, m_capacity - m_taken);
            Entry* block = new (std::nothrow) Entry[size]();
            if (!block)
                return nullptr;
            try {
                m_blocks.emplace_back(block);
            } catch (const std::bad_alloc&) {
                delete[] block;
                return nullptr;
            }
            m_currentBlock = block;
            m_usedInBlock = 0;
        }
        ++m_taken;
        return &m_currentBlock[m_usedInBlock++];
    }
    // Full: the entry written longest ago is reused, and the name in it forgotten.
    Entry* entry = &m_blocks[size_t(m_next / kBlockEntries)][m_next % kBlockEntries];
    m_next = (m_next + 1) % m_capacity;
    if (entry->length != 0) {
        m_names.erase(entry->address);
        --m_entryCount;
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        entry->length = 0;
    }
    return entry;
}

int XDNSRecord::storeName(Entry& entry, const char* name, int len)
{
    constexpr int kRoom = kTextSize - 2;  // two NULs follow the name
    if (len <= kRoom) {
        std::memcpy(entry.text, name, size_t(len));
    } else {
        // An ellipsis and the labels after the first dot that leaves room for them.
        static constexpr char kEllipsis[] = "\xE2\x80\xA6";
        constexpr int kMark = int(sizeof kEllipsis) - 1;
        int start = len - (kRoom - kMark);
        int cut = start;
        while (cut < len && name[cut - 1] != '.')
            ++cut;
        if (cut < len)
            start = cut;
        while (start < len && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80)
            ++start;  // no label boundary: at least never inside a character
        std::memcpy(entry.text, kEllipsis, size_t(kMark));
        std::memcpy(entry.text + kMark, name + start, size_t(len - start));
        len = kMark + (len - start);
    }
    entry.text[len] = 0;
    entry.text[len + 1] = 0;
    return len + 2;
}

bool XDNSRecord::addRecord(unsigned long address, const char* name, int len, XNameSource source)
{
    if (len < 1 || !name || source == XNameSource::None)
        return false;
    // The stored text is read as a C string: a NUL ends it here already, and a length beyond
    // the terminator of a C string is not followed.
    len = int(strnlen(name, size_t(len)));
    if (len < 1)
        return false;
    const uint32_t key = uint32_t(address);

    XLockGuard guard(m_lock);
    const auto it = m_names.find(key);
    if (it != m_names.end()) {
        if (source != XNameSource::Dns && it->second->source == XNameSource::Dns)
            return false;  // the name a resolver gave stays first
        // The newest name replaces the old one and takes the newest place.
        it->second->length = 0;
        m_names.erase(it);
        --m_entryCount;
    }
    Entry* entry = newEntry();
    if (!entry) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    entry->address = key;
    entry->source = source;
    entry->length = storeName(*entry, name, len);

    if (!m_ownHostCheckDone) {
        if (equalsIgnoreCase(std::string_view(entry->text, strnlen(entry->text, kTextSize)), m_ownWebHost)) {
            entry->text[0] = ' ';
            entry->text[1] = 0;
            m_ownHostCheckDone = true;
        }
        if (++m_ownHostChecks >= kOwnHostChecks)
            m_ownHostCheckDone = true;
    }

    try {
        m_names.emplace(key, entry);
    } catch (const std::bad_alloc&) {
        entry->length = 0;
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    ++m_entryCount;
    return true;
}

int XDNSRecord::getDNSName(unsigned long address, char* buf, int size, XNameSource* source)
{
    if (source)
        *source = XNameSource::None;
    if (!buf || size <= 0 || address > UINT32_MAX)
        return 0;
    XLockGuard guard(m_lock);
    const auto it = m_names.find(uint32_t(address));
    if (it == m_names.end())
        return 0;
    if (source)
        *source = it->second->source;
    const int n = std::min(size, it->second->length);
    std::memcpy(buf, it->second->text, size_t(n));
    return n;
}

bool XDNSRecord::hasDNSName(unsigned long address)
{
    if (address > UINT32_MAX)
        return false;
    XLockGuard guard(m_lock);
    return m_names.count(uint32_t(address)) != 0;
}

int XDNSRecord::size()
{
    XLockGuard guard(m_lock);
    return m_entryCount;
}

int XDNSRecord::blockCount()
{
    XLockGuard guard(m_lock);
    return int(m_blocks.size());
}
