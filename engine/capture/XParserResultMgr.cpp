#include "capture/XParserResultMgr.h"

#include <algorithm>
#include <mutex>
#include <string_view>
#include <new>

XParserResultMgr* XParserResultMgr::m_instance = nullptr;

XParserResultMgr* XParserResultMgr::Instance()
{
    static std::once_flag once;
    std::call_once(once, [] { m_instance = new (std::nothrow) XParserResultMgr(); });
    return m_instance;
}

XParserResultMgr::XParserResultMgr() = default;

XParserResultMgr::~XParserResultMgr() = default;

bool XParserResultMgr::addResult(const char* name, XParserResult* r)
{
    if (!r || !name)
        return false;
    XLockGuard guard(m_lock);
    try {
        const bool owned = std::ranges::any_of(m_owned, [r](const auto& p) { return p.get() == r; });
        if (!owned)
            m_owned.reserve(m_owned.size() + 1);
        m_results[name] = r;
        if (!owned)
            m_owned.emplace_back(r);
    } catch (...) {
        return false;
    }
    ++m_count;
    return true;
}

XParserResult* XParserResultMgr::getResult(const char* name)
{
    if (!name)
        return nullptr;
    XLockGuard guard(m_lock);
    const auto it = m_results.find(std::string_view(name));
    return it == m_results.end() ? nullptr : it->second;
}

XParserResult* XParserResultMgr::getResult(const char* name, int type)
{
    XParserResult* r = getResult(name);
    return (r && r->getType() == type) ? r : nullptr;
}

int XParserResultMgr::size()
{
    XLockGuard guard(m_lock);
    return m_count;
}
