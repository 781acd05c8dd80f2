#include "platform/SystemTimes.h"
#include "platform/linux/ProcFile.h"
#include "platform/linux/ProcSystemTimes.h"

#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace platform {

namespace {

void skipBlanks(std::string_view& s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
}

bool takeNumber(std::string_view& s, uint64_t& out)
{
    skipBlanks(s);
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    if (ec != std::errc() || ptr == s.data())
        return false;
    s.remove_prefix(size_t(ptr - s.data()));
    return true;
}

// The rest of the line that starts with key (at a line start), or false.
bool lineAfter(std::string_view text, std::string_view key, std::string_view& rest)
{
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        if (line.starts_with(key)) {
            rest = line.substr(key.size());
            return true;
        }
        at = end + 1;
    }
    return false;
}

// Sums that stop at the largest value instead of wrapping (only absurd texts get there).
uint64_t sum(std::initializer_list<uint64_t> values)
{
    uint64_t total = 0;
    for (const uint64_t v : values)
        total = v > UINT64_MAX - total ? UINT64_MAX : total + v;
    return total;
}

} // namespace

bool parseProcStatCpu(std::string_view text, CpuTimes& out)
{
    std::string_view rest;
    if (!lineAfter(text, "cpu ", rest))
        return false;
    // user nice system idle iowait irq softirq steal guest guest_nice
    uint64_t field[8] = {};
    int count = 0;
    while (count < 8 && takeNumber(rest, field[count]))
        ++count;
    if (count < 4)
        return false;
    const uint64_t idle = sum({field[3], field[4]});
    out.idle = idle;
    out.kernel = sum({field[2], field[5], field[6], field[7], idle});
    out.user = sum({field[0], field[1]});
    return true;
}

bool parseMeminfoCommit(std::string_view text, CommitCharge& out)
{
    std::string_view committed, limit;
    if (!lineAfter(text, "Committed_AS:", committed) || !lineAfter(text, "CommitLimit:", limit))
        return false;
    CommitCharge charge;
    if (!takeNumber(committed, charge.committed) || !takeNumber(limit, charge.limit))
        return false;
    out = charge;
    return true;
}

bool readCpuTimes(CpuTimes& out)
{
    std::string text;
    // The aggregate line comes first; the per-processor lines after it are not needed.
    return readProcFile("/proc/stat", text, 4096) && parseProcStatCpu(text, out);
}

bool readCommitCharge(CommitCharge& out)
{
    std::string text;
    return readProcFile("/proc/meminfo", text, 16384) && parseMeminfoCommit(text, out);
}

} // namespace platform
