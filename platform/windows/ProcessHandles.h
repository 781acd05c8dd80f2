#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/Processes.h"

namespace platform {

struct HandleCloser {
    void operator()(HANDLE h) const
    {
        if (h)
            ::CloseHandle(h);
    }
};
using ProcessHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// A handle that may ask for a process's image name and I/O counters; empty when the process
// is gone or not ours to ask. The first call enables the debug privilege where the token holds
// it (an elevated administrator), which opens the processes of other users as well.
ProcessHandle openProcessForQuery(uint32_t pid);

// The process's I/O transfer counters (GetProcessIoCounters): bytes read and written by every
// kind of I/O the process did, files and devices alike.
bool readIoCounters(HANDLE process, ProcessIo& out);

} // namespace platform
