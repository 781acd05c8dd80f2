#pragma once

#include <memory>
#include <string>

#include "platform/IoEventSource.h"

namespace platform {

// libpcap on the "any" device plus the /proc/[pid]/io sampler. fallbackReason says why the
// preferred source is not used ("" when none was tried); it becomes part of the name.
std::unique_ptr<IoEventSource> createPcapIoEventSource(const std::string& fallbackReason);

} // namespace platform
