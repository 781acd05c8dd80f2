// ication.dat reader.
#include "LocationChecks.h"

#include "config/LocationParsers.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::array<lumivex::config::LocationTable, 4> levels;
    lumivex::config::parseLocationDatabase(std::string_view(reinterpret_cast<const char*>(data), size), levels);
    for (auto& level : levels)
        checkLocationTable(level);
    return 0;
}
