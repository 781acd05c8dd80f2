#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ProcessIo {
    uint64_t readBytes = 0;   // storage bytes read (read_bytes)
    uint64_t writeBytes = 0;  // storage bytes written (write_bytes)
};

// Full path of the process image (readlink /proc/pid/exe); empty when unreadable.
std::string processImagePath(uint32_t pid);
// Base name of the image: the exe link's last component, else /proc/pid/comm; pid 0 has none.
std::string processImageName(uint32_t pid);
// The numeric entries of /proc, ascending.
std::vector<uint32_t> listProcessIds();
// /proc/pid/io; false when the process is gone or not readable.
bool readProcessIo(uint32_t pid, ProcessIo& out);
// When the process that has this pid now started (clock ticks after boot, field 22 of
// /proc/pid/stat): a pid and its start time name one process for good. 0 when there is no
// such process.
uint64_t processStartTime(uint32_t pid);
// euid 0, or effective CAP_NET_RAW + CAP_DAC_READ_SEARCH + CAP_SYS_PTRACE.
bool isPrivileged();

} // namespace platform
