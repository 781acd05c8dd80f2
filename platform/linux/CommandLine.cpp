#include "platform/CommandLine.h"

namespace platform {

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc && argv[i]; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

} // namespace platform
