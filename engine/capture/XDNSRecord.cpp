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

XDNSRecord::XDNSRecord(const char* ownWebHost) : m_ownWebHost(ownWebHost ? ownWebHost : "")
{
    m_ownHostCheckDone = m_ownWebHost.empty();
}

XDNSRecord::~XDNSRecord() = default;

XDNSRecord::Entry* XDNSRecord::newEntry()
{
    if (!m_currentBlock || m_usedInBlock >= kBlockEntries) {
        Entry* block = new (std::nothrow) Entry[kBlockEntries];
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
    return &m_currentBlock[m_usedInBlock++];
}

void XDNSRecord::addRecord(unsigned long address, const char* name, int len)
{
    if (len > kTextSize)
        len = kTextSize;
    if (len < 1 || !name)
        return;
    const uint32_t key = uint32_t(address);

    XLockGuard guard(m_lock);
    Entry* entry = nullptr;
    const auto it = m_names.find(key);
    const bool known = it != m_names.end();
    if (known) {
        entry = it->second;
    } else {
        entry = newEntry();
        if (!entry) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
    }

    // Up to 126 characters are kept, always followed by two NULs inside the field.
    const int kept = std::min(len, kTextSize - 2);
    std::memcpy(entry->text, name, size_t(kept));
    entry->text[kept] = 0;
    entry->text[kept + 1] = 0;
    entry->length = kept + 2;

    if (!m_ownHostCheckDone) {
        if (equalsIgnoreCase(std::string_view(entry->text, strnlen(entry->text, kTextSize)),
                             m_ownWebHost)) {
            entry->text[0] = ' ';
            entry->text[1] = 0;
            m_ownHostCheckDone = true;
        }
        if (++m_ownHostChecks >= kOwnHostChecks)
            m_ownHostCheckDone = true;
    }

    if (!known) {
        try {
            m_names.emplace(key, entry);
        } catch (const std::bad_alloc&) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        ++m_entryCount;
    }
}

int XDNSRecord::getDNSName(unsigned long address, char* buf, int size)
{
    if (!buf || size <= 0 || address > UINT32_MAX)
        return 0;
    XLockGuard guard(m_lock);
    const auto it = m_names.find(uint32_t(address));
    if (it == m_names.end())
        return 0;
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
