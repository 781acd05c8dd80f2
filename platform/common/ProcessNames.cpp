#include "platform/ProcessNames.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/Processes.h"

namespace platform {

ProcessNames& ProcessNames::instance()
{
    static ProcessNames names(
        [] {
            using namespace std::chrono;
            return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
        },
        [](uint32_t pid) { return processImageName(pid); });
    return names;
}

ProcessNames::ProcessNames(Clock clock, LiveName liveName)
    : m_clock(std::move(clock)), m_liveName(std::move(liveName))
{
}

void ProcessNames::remember(uint32_t pid, const std::string& name)
{
    if (pid == 0 || name.empty())
        return;
    const uint64_t now = m_clock();
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_names.size() >= kMaxNames && !m_names.count(pid))
        evictOldest();
    m_names[pid] = {name, now};
}

void ProcessNames::evictOldest()
{
    // Drops the oldest quarter at once, so that a full registry does not sort on every call.
    std::vector<uint64_t> ages;
    ages.reserve(m_names.size());
    for (const auto& [pid, entry] : m_names)
        ages.push_back(entry.rememberedMs);
    const auto cut = ages.begin() + long(ages.size() / 4);
    std::nth_element(ages.begin(), cut, ages.end());
    const uint64_t limit = *cut;
    for (auto it = m_names.begin(); it != m_names.end();)
        it = it->second.rememberedMs <= limit ? m_names.erase(it) : std::next(it);
}

std::string ProcessNames::freshNameOf(uint32_t pid) const
{
    const uint64_t now = m_clock();
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto it = m_names.find(pid);
    return it != m_names.end() && now - it->second.rememberedMs <= kFreshMs ? it->second.name : std::string();
}

std::string ProcessNames::nameOf(uint32_t pid) const
{
    if (pid == 0)
        return {};
    std::string name = freshNameOf(pid);
    if (!name.empty())
        return name;
    if (m_liveName)
        name = m_liveName(pid);
    if (!name.empty())
        return name;
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto it = m_names.find(pid);
    return it == m_names.end() ? std::string() : it->second.name;
}

size_t ProcessNames::size() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_names.size();
}

} // namespace platform
