#include "TempFolder.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

TempFolder::TempFolder()
{
    std::random_device random;
    const auto folder = std::filesystem::temp_directory_path() / ("lumivex-config-" + std::to_string(random()));
    std::filesystem::create_directories(folder);
    m_path = folder.string() + "/";
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void TempFolder::write(const std::string& name, const std::string& content) const
{
    std::ofstream(m_path + name, std::ios::binary) << content;
}

std::string TempFolder::read(const std::string& name) const
{
    std::ifstream in(m_path + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
