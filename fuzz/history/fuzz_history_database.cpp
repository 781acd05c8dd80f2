// A history database of any content: every query answers or fails, never crashes or hangs.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "history/HistoryReader.h"

namespace {

// The file each input is written to, removed with its log and index when the process ends
// (a replay in every test run would otherwise leave one behind in /dev/shm each time).
struct ScratchFile {
    std::string path;
    ScratchFile()
    {
        const std::filesystem::path dir =
            std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        path = (dir / ("lvx-fuzz-history-" + std::to_string(::getpid()) + ".sqlite")).string();
    }
    ~ScratchFile()
    {
        std::error_code ec;
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(path + suffix, ec);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ScratchFile scratch;
    const std::string& path = scratch.path;
    std::error_code ec;
    std::filesystem::remove(path + "-wal", ec);
    std::filesystem::remove(path + "-shm", ec);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    history::HistoryReader reader;
    if (reader.open(path)) {
        const history::TimeRange all{1735689600, 1767225600};  // 2025, the seed's year
        std::vector<history::ProgramUsage> programs;
        std::vector<history::HostUsage> hosts;
        std::vector<history::LocationUsage> locations;
        std::vector<history::SeriesPoint> series;
        for (const history::Filter& f : {history::Filter(), history::Filter::ofProgram("browser"), history::Filter::ofHost(0x0A000001)}) {
            reader.programs(all, f, programs);
            reader.hosts(all, f, hosts);
            reader.locations(all, f, locations);
            reader.series({1743400000, 1743500000}, history::Step::Hour, f, series);
        }
    }
    return 0;
}
