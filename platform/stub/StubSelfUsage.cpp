// This process's figures on systems without a backend: none.
#include "platform/SelfUsage.h"

namespace platform {

bool readSelfUsage(SelfUsage&)
{
    return false;
}

} // namespace platform
