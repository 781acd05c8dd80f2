// Feeds arbitrary text to the /proc/stat and /proc/meminfo parsers of the machine-load
// sampler.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/linux/ProcSystemTimes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    platform::CpuTimes times;
    if (platform::parseProcStatCpu(text, times) && times.kernel < times.idle)
        __builtin_trap();  // kernel time includes the idle time
    platform::CommitCharge charge;
    platform::parseMeminfoCommit(text, charge);
    return 0;
}
