// Machine load on systems without a backend: nothing to read.
#include "platform/SystemTimes.h"

namespace platform {

bool readCpuTimes(CpuTimes&)
{
    return false;
}

bool readCommitCharge(CommitCharge&)
{
    return false;
}

} // namespace platform
