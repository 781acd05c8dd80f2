#include "history/HistoryPath.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace history {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

std::string historyPath(const std::string& explicitPath)
{
    if (!explicitPath.empty())
        return explicitPath;
    std::string state = environment("STATE_DIRECTORY");
    if (const size_t colon = state.find(':'); colon != std::string::npos)
        state.resize(colon);
    if (!state.empty())
        return state + "/history.sqlite";
    const std::string data = environment("XDG_DATA_HOME");
    if (!data.empty() && data.front() == '/')
        return data + "/lumivex/history.sqlite";
    const std::string home = environment("HOME");
    if (!home.empty())
        return home + "/.local/share/lumivex/history.sqlite";
    return {};
}

std::string lockPathFor(const std::string& databasePath)
{
    return databasePath + ".lock";
}

bool makeParentFolder(const std::string& databasePath, std::string* error)
{
    namespace fs = std::filesystem;
    const fs::path parent = fs::path(databasePath).parent_path();
    if (parent.empty())
        return true;
    std::error_code ec;
    if (fs::is_directory(parent, ec))
        return true;
    std::error_code again;
    if (!fs::create_directories(parent, ec) && !fs::is_directory(parent, again)) {
        if (error)
            *error = "cannot create " + parent.string() + ": " + ec.message();
        return false;
    }
    fs::permissions(parent, fs::perms::owner_all, fs::perm_options::replace, ec);
    return true;
}

} // namespace history
