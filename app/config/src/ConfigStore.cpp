#include "config/ConfigStore.h"

#include "config/DataDirectory.h"
#include "config/FileText.h"
#include "config/TextUtil.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace lumivex::config {

namespace {

constexpr const char* kNullText = "NULL";
// Settings files are a few kilobytes; anything past this is not read.
constexpr std::size_t kSettingsFileLimit = 4u << 20;

std::unique_ptr<ConfigStore>& processStore()
{
    static std::unique_ptr<ConfigStore> store;
    return store;
}

const char* lookup(const SettingMap& map, const char* key)
{
    if (key == nullptr)
        return kNullText;
    const auto found = map.find(std::string_view(key));
    return found == map.end() ? key : found->second.c_str();
}

bool isRegularFile(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

} // namespace

ConfigStore& ConfigStore::instance()
{
    auto& store = processStore();
    if (!store)
        store = std::make_unique<ConfigStore>(defaultDataDirectory(), userConfigDirectory());
    return *store;
}

ConfigStore& ConfigStore::instanceAt(std::string dataDir, std::string userDir)
{
    auto& store = processStore();
    if (!store)
        store = std::make_unique<ConfigStore>(std::move(dataDir), std::move(userDir));
    return *store;
}

ConfigStore* ConfigStore::existingInstance()
{
    return processStore().get();
}

void ConfigStore::release()
{
    auto& store = processStore();
    if (store)
        store->saveUserSettings();
    store.reset();
}

ConfigStore::ConfigStore(std::string dataDir, std::string userDir)
    : m_dataDir(std::move(dataDir)), m_userDir(std::move(userDir))
{
    std::string problem;
    if (auto content = readFilePrefix(m_dataDir + "config.dat", kSettingsFileLimit, &problem)) {
        m_skinFound = true;
        loadSettings(*content, true, false, m_skin);
    }
    if (!problem.empty())
        m_skipped.push_back(problem);
    loadUserSettings();
}

void ConfigStore::loadUserSettings()
{
    const std::string fallback = m_userDir.empty() ? std::string() : m_userDir + "/user.ini";
    const std::string beside = m_dataDir + "user.ini";
    const std::string& source = !fallback.empty() && isRegularFile(fallback) ? fallback : beside;
    std::string problem;
    bool longer = false;
    auto content = readFilePrefix(source, kSettingsFileLimit, &problem, &longer);
    if (content && longer) {
        problem = source + " is larger than " + std::to_string(kSettingsFileLimit >> 20) +
                  " MB; not read, and left as it is: this run's settings are not saved";
        content.reset();
    }
    if (content) {
        m_userSource = source;
        m_userFile.load(*content, m_user);
        m_loadedUser = m_user;
    }
    if (!problem.empty()) {
        // Writing over a file that could not be read would lose what it holds.
        m_userFileRefused = true;
        m_skipped.push_back(problem);
    }
}

bool ConfigStore::saveUserSettings()
{
    if (m_userFileRefused)
        return false;
    if (m_changed.empty())
        return true;
    const std::string text = m_userFile.text(m_user, m_changed);
    const std::string fallback = m_userDir.empty() ? std::string() : m_userDir + "/user.ini";
    if (fallback.empty() || m_userSource != fallback) {
        if (writeFileAtomically(m_dataDir + "user.ini", text))
            return true;
    }
    if (fallback.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(m_userDir, error);
    if (!writeFileAtomically(fallback, text))
        return false;
    m_userSource = fallback;
    return true;
}

const char* ConfigStore::getText(const char* key) const
{
    return lookup(m_texts, key);
}

const char* ConfigStore::getTextW(const char* key) const
{
    return lookup(m_wideTexts, key);
}

bool ConfigStore::copyText(const char* key, char* buffer, std::size_t size) const
{
    if (key == nullptr || buffer == nullptr || size < 1)
        return false;
    const auto found = m_texts.find(std::string_view(key));
    if (found == m_texts.end())
        return false;
    boundedCopy(buffer, found->second.c_str(), size);
    return true;
}

void ConfigStore::setText(const char* key, const char* text)
{
    if (key != nullptr && text != nullptr)
        m_texts.insert_or_assign(std::string(key), std::string(text));
}

void ConfigStore::setTextW(const char* key, const char* text)
{
    if (key != nullptr && text != nullptr)
        m_wideTexts.insert_or_assign(std::string(key), std::string(text));
}

const char* ConfigStore::getSkinValue(const char* key) const
{
    return lookup(m_skin, key);
}

int ConfigStore::getSkinInt(const char* key) const
{
    if (key == nullptr)
        return 0;
    const auto found = m_skin.find(std::string_view(key));
    if (found == m_skin.end())
        return 0;
    const long long value = decimalPrefix(found->second);
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int>(value);
}

std::uint32_t ConfigStore::getSkinColor(const char* key) const
{
    if (key == nullptr)
        return 0;
    const auto found = m_skin.find(std::string_view(key));
    return found == m_skin.end() ? 0 : parseColor(found->second);
}

const char* ConfigStore::getUserValue(const char* key) const
{
    return lookup(m_user, key);
}

bool ConfigStore::getUserFlag(const char* key) const
{
    if (key == nullptr)
        return false;
    const auto found = m_user.find(std::string_view(key));
    return found != m_user.end() && decimalPrefix(found->second) == 1;
}

bool ConfigStore::setUserValue(const char* key, const char* value)
{
    if (key == nullptr || value == nullptr || !settingRoundTrips(key, value))
        return false;
    const auto [entry, added] = m_user.insert_or_assign(std::string(key), std::string(value));
    const auto loaded = m_loadedUser.find(entry->first);
    if (loaded == m_loadedUser.end() || loaded->second != entry->second)
        m_changed.insert(entry->first);
    else
        m_changed.erase(entry->first);
    return true;
}

const char* ConfigStore::boundedCopy(char* dst, const char* src, std::size_t size)
{
    if (dst == nullptr || src == nullptr)
        return nullptr;
    if (size == 0)
        return src;
    std::size_t available = 0;
    while (available < size && src[available] != '\0')
        ++available;
    const std::size_t length = utf8PrefixLength(std::string_view(src, available), size - 1);
    std::memcpy(dst, src, length);
    dst[length] = '\0';
    return src + length;
}

} // namespace lumivex::config
