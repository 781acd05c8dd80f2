#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace lumivex::config {

// Descriptions of TCP ports (table 0), UDP ports (table 1) and IP protocol numbers (table 2),
// read from ptdescr.dat. All texts live in one fixed 64 000-byte pool; entries that no longer
// fit are skipped.
class DescriptionTable {
public:
    static constexpr std::size_t kPoolSize = 64000;
    static constexpr int kTcpPorts = 0;
    static constexpr int kUdpPorts = 1;
    static constexpr int kProtocols = 2;

    struct Load {
        std::size_t entries = 0;   // descriptions stored
        std::size_t skipped = 0;   // entries refused because the pool was full
        bool overLong = false;     // reading stopped at an over-long line
    };

    // Reads the byte-shifted file text. Only the first call loads anything.
    Load load(std::string_view content);

    // The description of number in table, or null (also for a table other than 0-2).
    const char* find(int table, std::uint16_t number) const;
    std::size_t poolUsed() const { return m_fill; }
    std::size_t size(int table) const;

private:
    void addEntry(int table, std::string_view numberText, std::string_view description, Load& load);

    std::unique_ptr<char[]> m_pool;
    std::size_t m_fill = 0;
    std::map<std::uint16_t, std::uint32_t> m_tables[3];
};

} // namespace lumivex::config
