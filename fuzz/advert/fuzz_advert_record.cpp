// Feeds arbitrary bodies to the web service's information record parser and the checks
// that decide what may be fetched.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "shell/advert/AdvertRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    orvane::AdvertRecord record;
    if (!orvane::parseAdvertRecord(body, record))
        return 0;
    if (record.imageHost.size() > 127 || record.imagePath.size() > 511 || record.clickPage.size() > 511 ||
        record.helpPage.size() > 510)
        __builtin_trap();
    orvane::isPlainHostName(record.imageHost);
    orvane::isPlainObjectPath(record.imagePath);
    return 0;
}
