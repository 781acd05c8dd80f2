// The window program's system services on a system without a backend: no single-instance
// lock (every copy runs) and no termination signals routed to the event loop.
#include <chrono>
#include <thread>

#include "platform/InstanceLock.h"
#include "platform/TerminationSignals.h"

namespace platform {

InstanceLock::~InstanceLock() = default;

InstanceLock::Result InstanceLock::acquire(const std::string&, std::string* error)
{
    if (error)
        *error = "no instance lock on this system";
    return Result::Unavailable;
}

void InstanceLock::release() {}

std::string instanceLockPath(const std::string& name, std::string*)
{
    return name + ".lock";
}

int terminationSignalDescriptor()
{
    return -1;
}

int drainTerminationSignals(int)
{
    return 0;
}

bool prepareSignalWake()
{
    return false;
}

void signalWake() {}

bool sleepUntilSignalWake(int timeoutMs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0));
    return false;
}

} // namespace platform
