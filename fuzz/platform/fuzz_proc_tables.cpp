// Feeds arbitrary text to the /proc table parsers: /proc/net/{tcp,udp}{,6}, /proc/pid/io and
// /proc/pid/stat.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Processes.h"
#include "platform/linux/ProcTables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<platform::SocketRow> rows;
    platform::parseProcNetTable(text, false, platform::SocketProtocol::Tcp, rows);
    platform::parseProcNetTable(text, true, platform::SocketProtocol::Udp, rows);
    for (const platform::SocketRow& row : rows)
        if (row.state < 0 || row.state > 12)
            __builtin_trap();
    platform::ProcessIo io;
    platform::parseProcessIo(text, io);
    uint64_t start = 0;
    platform::parseProcessStartTime(text, start);
    return 0;
}
