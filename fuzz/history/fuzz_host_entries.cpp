// The host list of a bucket row: whatever the bytes, decoding stays inside them; what it
// accepts merges, folds and encodes into a list that decodes again with the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "history/HostEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<history::HostEntry> entries;
    if (!history::decodeEntries(std::string_view(reinterpret_cast<const char*>(data), size), entries))
        return 0;
    const uint64_t bytes = history::totalOf(entries).bytes();
    std::vector<history::HostEntry> merged = entries;
    history::mergeEntries(merged, entries);
    history::foldHosts(merged, 3);
    std::vector<history::HostEntry> again;
    if (!history::decodeEntries(history::encodeEntries(merged), again))
        std::abort();
    if (bytes < history::kMaxCount / 2 && history::totalOf(again).bytes() != history::addCount(bytes, bytes))
        std::abort();
    return 0;
}
