#include "platform/ExecutablePath.h"

#include <windows.h>

#include <vector>

#include "platform/windows/WideText.h"

namespace platform {

std::string executablePath()
{
    // MAX_PATH first, longer paths (up to the system's limit) when it was too short.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 4) {
        std::vector<wchar_t> buffer(size);
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (n == 0)
            return {};
        if (n < size)
            return utf8FromWide(std::wstring_view(buffer.data(), n));
    }
    return {};
}

} // namespace platform
