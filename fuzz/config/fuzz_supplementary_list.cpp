// ipanother.txt reader.
#include "LocationChecks.h"

#include "config/LocationParsers.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lumivex::config::LocationTable list;
    lumivex::config::parseSupplementary(std::string_view(reinterpret_cast<const char*>(data), size), list);
    checkLocationTable(list);
    return 0;
}
