// Regular files on Windows: a file's kind is checked on the open handle before anything is
// read (a device name such as CON or a pipe is refused, never read), and a file is replaced
// through a temporary file that ReplaceFileW puts in its place with the old file's attributes
// and access rights.
#include "platform/RegularFile.h"

#include <windows.h>

#include <algorithm>
#include <random>

#include "platform/windows/WideText.h"

namespace platform {

namespace {

struct FileCloser {
    HANDLE h;
    ~FileCloser()
    {
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    }
};

} // namespace

FileRead readRegularFile(const std::string& path, std::size_t maxBytes, std::string& content, bool* longer,
                         std::string* error)
{
    content.clear();
    if (longer)
        *longer = false;
    const std::wstring wide = wideFromUtf8(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD rc = ::GetLastError();
        if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND)
            return FileRead::Missing;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return FileRead::NotRegular;
    }
    const FileCloser file{::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) {
        const DWORD rc = ::GetLastError();
        if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND)
            return FileRead::Missing;
        if (error)
            *error = path + ": " + systemErrorText(rc);
        return FileRead::Failed;
    }
    if (::GetFileType(file.h) != FILE_TYPE_DISK)
        return FileRead::NotRegular;  // a console, printer port, pipe or other device
    constexpr DWORD kChunk = 1 << 16;
    std::string buffer(kChunk, '\0');
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.h, buffer.data(), kChunk, &n, nullptr)) {
            const DWORD rc = ::GetLastError();
            content.clear();
            if (error)
                *error = path + ": " + systemErrorText(rc);
            return FileRead::Failed;
        }
        if (n == 0)
            return FileRead::Ok;
        const std::size_t room = maxBytes - content.size();
        content.append(buffer, 0, std::min<std::size_t>(n, room));
        if (n > room) {
            if (longer)
                *longer = true;
            return FileRead::Ok;
        }
    }
}

bool replaceFile(const std::string& path, const std::string& contents, std::string* error)
{
    const std::wstring target = wideFromUtf8(path);
    std::random_device random;
    const std::wstring temporary = target + L".tmp" + std::to_wstring(random() % 1000000000u);
    const auto fail = [&](const std::string& what, DWORD rc) {
        ::DeleteFileW(temporary.c_str());
        if (error)
            *error = what + ": " + systemErrorText(rc);
        return false;
    };
    {
        const FileCloser file{::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (file.h == INVALID_HANDLE_VALUE) {
            const DWORD rc = ::GetLastError();
            if (error)
                *error = utf8FromWide(temporary) + ": " + systemErrorText(rc);
            return false;
        }
        for (std::size_t done = 0; done < contents.size();) {
            const DWORD part = DWORD(std::min<std::size_t>(contents.size() - done, 1u << 20));
            DWORD written = 0;
            if (!::WriteFile(file.h, contents.data() + done, part, &written, nullptr) || written == 0)
                return fail(utf8FromWide(temporary), ::GetLastError());
            done += written;
        }
        if (!::FlushFileBuffers(file.h))
            return fail(utf8FromWide(temporary), ::GetLastError());
    }
    if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return true;
        // A file that cannot carry the old one's rights over (another volume's, a read-only
        // one) is moved over it instead, or left as it was.
    }
    if (::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    return fail(path, ::GetLastError());
}

} // namespace platform
