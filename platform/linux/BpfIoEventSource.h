#pragma once

#include <memory>
#include <string>

#include "platform/IoEventSource.h"

namespace platform {

// Per-flow byte and packet counts from the kernel (the flow-counting BPF programs at the
// cgroup2 root), read a few times a second and delivered as one event per flow and direction,
// the DNS queries local programs send (as they are sent), plus the /proc/[pid]/io disk sampler. Null, with the reason, when the programs cannot be
// loaded here: no cgroup2 hierarchy, a legacy net_cls or net_prio hierarchy, missing
// privileges, or a kernel that refuses them.
std::unique_ptr<IoEventSource> createBpfIoEventSource(std::string& why);

} // namespace platform
