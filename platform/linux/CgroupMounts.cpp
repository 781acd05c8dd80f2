#include "platform/linux/CgroupMounts.h"

#include <charconv>
#include <vector>

#include "platform/linux/ProcFile.h"

namespace platform {

namespace {

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

// "\040" and the like stand for the characters the mount table cannot show as they are.
std::string unescape(std::string_view s)
{
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() &&
            octal(s[i + 1]) && octal(s[i + 2]) && octal(s[i + 3])) {
            out += char(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool hasOption(std::string_view options, std::string_view name)
{
    while (!options.empty()) {
        const size_t comma = options.find(',');
        if (options.substr(0, comma) == name)
            return true;
        if (comma == std::string_view::npos)
            break;
        options.remove_prefix(comma + 1);
    }
    return false;
}

template <typename OnLine>
void forEachLine(std::string_view text, OnLine onLine)
{
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        onLine(text.substr(0, eol));
        if (eol == std::string_view::npos)
            break;
        text.remove_prefix(eol + 1);
    }
}

} // namespace

CgroupLayout parseCgroupMounts(std::string_view mounts)
{
    CgroupLayout layout;
    forEachLine(mounts, [&](std::string_view line) {
        const std::vector<std::string_view> f = fields(line);
        if (f.size() < 4)
            return;
        if (f[2] == "cgroup2" && layout.unifiedRoot.empty())
            layout.unifiedRoot = unescape(f[1]);
        else if (f[2] == "cgroup" && layout.legacyNetControl.empty()) {
            if (hasOption(f[3], "net_cls"))
                layout.legacyNetControl = "net_cls";
            else if (hasOption(f[3], "net_prio"))
                layout.legacyNetControl = "net_prio";
        }
    });
    return layout;
}

std::string legacyNetControllerInUse(std::string_view procCgroups)
{
    std::string found;
    forEachLine(procCgroups, [&](std::string_view line) {
        const std::vector<std::string_view> f = fields(line);
        if (!found.empty() || f.size() < 4 || (f[0] != "net_cls" && f[0] != "net_prio"))
            return;
        unsigned hierarchy = 0;
        const auto [ptr, ec] = std::from_chars(f[1].data(), f[1].data() + f[1].size(), hierarchy);
        if (ec == std::errc() && ptr == f[1].data() + f[1].size() && hierarchy != 0)
            found = std::string(f[0]);
    });
    return found;
}

CgroupLayout readCgroupLayout()
{
    std::string text;
    CgroupLayout layout;
    if (readProcFile("/proc/self/mounts", text))
        layout = parseCgroupMounts(text);
    if (layout.legacyNetControl.empty() && readProcFile("/proc/cgroups", text))
        layout.legacyNetControl = legacyNetControllerInUse(text);
    return layout;
}

} // namespace platform
