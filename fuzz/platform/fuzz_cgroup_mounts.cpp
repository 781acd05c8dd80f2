// Feeds arbitrary text to the cgroup layout parsers: /proc/self/mounts and /proc/cgroups.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/linux/CgroupMounts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const platform::CgroupLayout layout = platform::parseCgroupMounts(text);
    if (layout.unifiedRoot.size() > size)
        __builtin_trap();  // decoding escapes only ever shortens
    const std::string legacy = platform::legacyNetControllerInUse(text);
    if (!legacy.empty() && legacy != "net_cls" && legacy != "net_prio")
        __builtin_trap();
    return 0;
}
