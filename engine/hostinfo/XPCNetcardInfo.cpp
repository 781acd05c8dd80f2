#include "hostinfo/XPCNetcardInfo.h"

#include <algorithm>
#include <string>
#include <vector>

#include "corekit/XLog.h"
#include "platform/LocalAddresses.h"

XPCNetcardInfo::XPCNetcardInfo() : m_addrs{}, m_count(0) {}

int XPCNetcardInfo::getIPAddrs()
{
    m_count = 0;
    std::vector<uint32_t> addrs;
    std::string error;
    if (!platform::readLocalIpv4Addresses(addrs, &error)) {
        XLog::debug(1, "GetIpAddrTable failed with error : ", error);
        return 0;
    }
    return setAddresses(addrs.data(), int(addrs.size()));
}

int XPCNetcardInfo::setAddresses(const uint32_t* addrs, int count)
{
    m_count = std::max(count, 0);
    // The count reports every row; only the first 100 fit the table.
    const int kept = std::min(m_count, kMaxAddresses);
    std::fill(std::begin(m_addrs), std::end(m_addrs), 0u);
    if (addrs)
        std::copy(addrs, addrs + kept, m_addrs);
    return m_count;
}

uint32_t XPCNetcardInfo::getIPByIndex(int i) const
{
    if (i < 0 || i >= m_count || i >= kMaxAddresses)
        return 0;
    return m_addrs[i];
}
