#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostinfo/XPCProcessInfo.h"

// Process information whose image paths come from a table instead of the system.
inline std::unique_ptr<XPCProcessInfo> makeProcessInfo(std::map<uint32_t, std::string> paths)
{
    XPCProcessInfo::Hooks hooks;
    hooks.readTable = [](platform::SocketProtocol, std::vector<platform::SocketRow>& rows) {
        rows.clear();
        return true;
    };
    hooks.imagePath = [paths](uint32_t pid) {
        const auto it = paths.find(pid);
        return it == paths.end() ? std::string() : it->second;
    };
    hooks.shortName = [](uint32_t) { return std::string(); };
    return std::make_unique<XPCProcessInfo>(hooks, nullptr);
}
