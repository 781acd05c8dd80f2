#include "config/FileText.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace lumivex::config {

std::optional<std::string> readFilePrefix(const std::string& path, std::size_t maxBytes,
                                          std::string* problem)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status))
        return std::nullopt;
    if (!fs::is_regular_file(status)) {
        if (problem)
            *problem = path + " is not a regular file; skipped";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (problem)
            *problem = path + " cannot be read; skipped";
        return std::nullopt;
    }
    std::string content;
    // Size the buffer once when the file's length is known (it may still change while read).
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    in.seekg(0, std::ios::beg);
    if (length > 0)
        content.reserve(std::min(static_cast<std::size_t>(length), maxBytes));
    constexpr std::size_t chunk = 1 << 16;
    while (content.size() < maxBytes) {
        const std::size_t want = std::min(chunk, maxBytes - content.size());
        const std::size_t old = content.size();
        content.resize(old + want);
        in.read(content.data() + old, static_cast<std::streamsize>(want));
        content.resize(old + static_cast<std::size_t>(in.gcount()));
        if (!in)
            break;
    }
    if (in.bad()) {
        if (problem)
            *problem = path + " could not be read to the end; skipped";
        return std::nullopt;
    }
    return content;
}

bool writeFileAtomically(const std::string& path, const std::string& contents)
{
    namespace fs = std::filesystem;
    std::random_device random;
    const std::string temporary = path + ".tmp" + std::to_string(random() % 1000000000u);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

} // namespace lumivex::config
