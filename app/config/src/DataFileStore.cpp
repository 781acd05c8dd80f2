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
    for (LocationTable& level : m_levels)
        m_report.overlapsDropped += level.normalise();
    m_report.overlapsDropped += m_supplementary.normalise();
    if (auto content = read("ptdescr.dat", kDescriptionFileLimit)) {
        m_report.descriptionsFound = true;
        m_report.descriptions = m_descriptions.load(*content);
    }
}

const char* DataFileStore::findLocation(std::uint32_t address) const
{
    if (const LocationRange* range = m_supplementary.find(address))
        return range->text;
    for (int index = 3; index >= 0; --index) {
        if (const LocationRange* range = m_levels[static_cast<std::size_t>(index)].find(address))
            return range->text;
    }
    return nullptr;
}

bool DataFileStore::lookupLocation(std::uint32_t address, std::string& text) const
{
    const char* found = findLocation(address);
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
