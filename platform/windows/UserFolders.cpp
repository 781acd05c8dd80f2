#include "platform/UserFolders.h"

#include <cstdlib>

#include "platform/windows/WideText.h"

namespace platform {

std::string userSettingsFolder(std::string_view application)
{
    // The wide environment: getenv() would hand the folder over in the ANSI code page, which
    // loses a user name it has no characters for.
    const wchar_t* roaming = ::_wgetenv(L"APPDATA");
    if (roaming == nullptr || roaming[0] == L'\0')
        return {};
    return utf8FromWide(roaming) + "\\" + std::string(application);
}

} // namespace platform
