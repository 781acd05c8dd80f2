// ptdescr.dat reader.
#include "config/DescriptionTable.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

using lumivex::config::DescriptionTable;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DescriptionTable table;
    table.load(std::string_view(reinterpret_cast<const char*>(data), size));
    if (table.poolUsed() > DescriptionTable::kPoolSize)
        std::abort();
    for (int kind = -1; kind <= 3; ++kind) {
        for (unsigned number : {0u, 1u, 22u, 53u, 80u, 443u, 65535u}) {
            if (const char* text = table.find(kind, static_cast<std::uint16_t>(number)))
                (void)std::strlen(text);
        }
    }
    return 0;
}
