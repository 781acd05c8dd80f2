#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capture/XParserResult.h"
#include "corekit/XLock.h"

// Registry of the counters by name: "tcp" and "udp" (XPacketCounter, type 1, registered by
// the parser thread on the first event of their protocol) and "other" (XIPCounter, type 2,
// registered at start-up). Any thread may add and look up; a returned pointer stays valid as
// long as the registry (results replaced under the same name are kept, not deleted).
class XParserResultMgr {
public:
    // The process-wide registry, created on the first call and never destroyed; null when it
    // cannot be allocated. Any thread.
    static XParserResultMgr* Instance();

    // An independent registry (tests, benchmarks); it deletes its results when destroyed.
    XParserResultMgr();
    ~XParserResultMgr();
    XParserResultMgr(const XParserResultMgr&) = delete;
    XParserResultMgr& operator=(const XParserResultMgr&) = delete;

    // Registers r under name (replacing an earlier entry) and takes ownership. False, with
    // nothing changed, for a null r or when memory runs out (then r stays the caller's).
    bool addResult(const char* name, XParserResult* r);
    XParserResult* getResult(const char* name);
    // Null also when the result's type differs.
    XParserResult* getResult(const char* name, int type);
    // Number of successful addResult calls.
    int size();

private:
    static XParserResultMgr* m_instance;

    XLock m_lock;
    std::map<std::string, XParserResult*, std::less<>> m_results;
    std::vector<std::unique_ptr<XParserResult>> m_owned;
    int m_count = 0;
};
