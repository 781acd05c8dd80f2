#pragma once

#include <cstdint>

// The machine's IPv4 address table, read once and answered by index. A plain value object.
class XPCNetcardInfo {
public:
    static constexpr int kMaxAddresses = 100;

    XPCNetcardInfo();
    ~XPCNetcardInfo() = default;

    // Reads the table; returns the row count (every row, loopback included), 0 on failure.
    // At most the first 100 addresses are kept.
    int getIPAddrs();
    // Address at index i in network order; 0 when i < 0, i >= count or i >= 100.
    uint32_t getIPByIndex(int i) const;

    // Fills the table from a list (what getIPAddrs does with the system's list).
    int setAddresses(const uint32_t* addrs, int count);

private:
    uint32_t m_addrs[kMaxAddresses];
    int m_count;
};
