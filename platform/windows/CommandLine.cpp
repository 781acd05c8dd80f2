#include "platform/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/windows/WideText.h"

namespace platform {

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    std::vector<std::string> arguments;
    int count = 0;
    if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            arguments.push_back(utf8FromWide(wide[i]));
        ::LocalFree(wide);
        return arguments;
    }
    // Out of memory: the code page's arguments are better than none.
    for (int i = 0; i < argc && argv[i]; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

} // namespace platform
