#include "config/DataFileStore.h"

#include "config/ConfigStore.h"
#include "config/DataDirectory.h"
#include "config/FileText.h"

#include <memory>

namespace lumivex::config {

namespace {

// Generous ceilings on how much of each file is read: the shipped ipanother.txt is about
// 12 MB; 400 000 of its longest lines stay below 32 MB.
constexpr std::size_t kDatabaseFileLimit = 16u << 20;
constexpr std::size_t kSupplementaryFileLimit = 64u << 20;
constexpr std::size_t kDescriptionFileLimit = 16u << 20;
constexpr std::size_t kNamesFileLimit = 4u << 20;

std::unique_ptr<DataFileStore>& processStore()
{
    static std::unique_ptr<DataFileStore> store;
    return store;
}

} // namespace

DataFileStore& DataFileStore::instance()
{
    auto& store = processStore();
    if (!store) {
        const ConfigStore* config = ConfigStore::existingInstance();
        store = std::make_unique<DataFileStore>(config != nullptr ? config->dataDir() : defaultDataDirectory());
        store->load();
    }
    return *store;
}

DataFileStore* DataFileStore::existingInstance()
{
    return processStore().get();
}

void DataFileStore::release()
{
    processStore().reset();
}

DataFileStore::DataFileStore(std::string dataDir) : m_dataDir(std::move(dataDir))
{
}

std::optional<std::string> DataFileStore::read(const char* name, std::size_t limit)
{
    std::string problem;
    std::optional<std::string> content = readFilePrefix(m_dataDir + name, limit, &problem);
    if (!problem.empty())
        m_report.skipped.push_back(problem);
    return content;
}

void DataFileStore::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    if (auto content = read("ication.dat", kDatabaseFileLimit)) {
        m_report.databaseFound = true;
        m_report.database = parseLocationDatabase(*content, m_levels);
    }
    if (auto content = read("ipanother.txt", kSupplementaryFileLimit)) {
        m_report.supplementaryFound = true;
        m_report.supplementary = parseSupplementary(*content, m_supplementary);
    }
    if (auto content = read("location_en.txt", kNamesFileLimit)) {
        m_report.namesFound = true;
        loadSettings(*content, false, false, m_englishNames);
        m_report.names = m_englishNames.size();
    }
    for (LocationTable& level : m_levels)
        m_report.overlapsDropped += level.normalise();
    m_report.overlapsDropped += m_supplementary.normalise();
    if (auto content = read("ptdescr.dat", kDescriptionFileLimit)) {
        m_report.descriptionsFound = true;
        m_report.descriptions = m_descriptions.load(*content);
    }
}

const char* DataFileStore::findLocation(std::uint32_t address, Language language) const
{
    const LocationRange* range = m_supplementary.find(address);
    for (int index = 3; index >= 0 && range == nullptr; --index)
        range = m_levels[static_cast<std::size_t>(index)].find(address);
    if (range == nullptr)
        return nullptr;
    if (language == Language::English)
        if (const char* name = englishName(range->text))
            return name;
    return range->text;
}

const char* DataFileStore::englishName(std::string_view text) const
{
    const auto found = m_englishNames.find(text);
    return found == m_englishNames.end() || found->second.empty() ? nullptr : found->second.c_str();
}

bool DataFileStore::lookupLocation(std::uint32_t address, std::string& text, Language language) const
{
    const char* found = findLocation(address, language);
    if (found == nullptr)
        return false;
    text.assign(found);
    return true;
}

bool DataFileStore::lookupDescription(int table, std::uint16_t number, std::string& text) const
{
    const char* found = m_descriptions.find(table, number);
    if (found == nullptr)
        return false;
    text.assign(found);
    return true;
}

} // namespace lumivex::config
