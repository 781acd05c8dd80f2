#include "config/FileText.h"

#include "platform/RegularFile.h"

namespace lumivex::config {

std::optional<std::string> readFilePrefix(const std::string& path, std::size_t maxBytes, std::string* problem,
                                          bool* longer)
{
    std::string content;
    std::string error;
    switch (platform::readRegularFile(path, maxBytes, content, longer, &error)) {
    case platform::FileRead::Ok:
        return content;
    case platform::FileRead::Missing:
        return std::nullopt;
    case platform::FileRead::NotRegular:
        if (problem)
            *problem = path + " is not a regular file; skipped";
        return std::nullopt;
    case platform::FileRead::Failed:
        break;
    }
    if (problem)
        *problem = path + " cannot be read (" + error + "); skipped";
    return std::nullopt;
}

bool writeFileAtomically(const std::string& path, const std::string& contents)
{
    return platform::replaceFile(path, contents, nullptr);
}

} // namespace lumivex::config
