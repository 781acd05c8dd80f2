// Regular files through the standard library alone: the file's kind is checked before it is
// opened, which a system without a backend of its own cannot do in one step.
#include "platform/RegularFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace platform {

FileRead readRegularFile(const std::string& path, std::size_t maxBytes, std::string& content, bool* longer,
                         std::string* error)
{
    namespace fs = std::filesystem;
    content.clear();
    if (longer)
        *longer = false;
    std::error_code code;
    const fs::file_status status = fs::status(path, code);
    if (!fs::exists(status))
        return FileRead::Missing;
    if (!fs::is_regular_file(status))
        return FileRead::NotRegular;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = path + ": cannot be opened";
        return FileRead::Failed;
    }
    constexpr std::size_t kChunk = 1 << 16;
    std::string buffer(kChunk, '\0');
    while (in) {
        in.read(buffer.data(), std::streamsize(kChunk));
        const std::size_t n = std::size_t(in.gcount());
        const std::size_t room = maxBytes - content.size();
        content.append(buffer, 0, std::min(n, room));
        if (n > room) {
            if (longer)
                *longer = true;
            break;
        }
    }
    if (in.bad()) {
        content.clear();
        if (error)
            *error = path + ": could not be read to the end";
        return FileRead::Failed;
    }
    return FileRead::Ok;
}

bool replaceFile(const std::string& path, const std::string& contents, std::string* error)
{
    namespace fs = std::filesystem;
    std::random_device random;
    const std::string temporary = path + ".tmp" + std::to_string(random() % 1000000000u);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), std::streamsize(contents.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            if (error)
                *error = temporary + ": cannot be written";
            return false;
        }
    }
    std::error_code code;
    if (fs::exists(path, code))
        fs::permissions(temporary, fs::status(path, code).permissions(), code);
    fs::rename(temporary, path, code);
    if (code) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        if (error)
            *error = path + ": " + code.message();
        return false;
    }
    return true;
}

} // namespace platform
