// The process-name sources: an exe link, a comm text and a cmdline text, split from the input
// at its first two NUL-NUL pairs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/linux/ProcessNames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto next = [&input]() {
        const size_t cut = input.find(std::string_view("\0\0", 2));
        const std::string_view part = input.substr(0, cut);
        input.remove_prefix(cut == std::string_view::npos ? input.size() : cut + 2);
        return part;
    };
    const std::string_view exe = next(), comm = next(), cmdline = input;

    const std::string path = platform::imagePathOfExeLink(exe);
    if (path.size() > exe.size() || exe.substr(0, path.size()) != path)
        __builtin_trap();
    const std::string_view base = platform::baseNameOf(path);
    if (base.find('/') != std::string_view::npos)
        __builtin_trap();
    // The name is comm without its line end, or a command-line word completing a cut comm.
    std::string_view trimmed = comm;
    while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == '\0'))
        trimmed.remove_suffix(1);
    const std::string name = platform::nameFromCommAndCmdline(comm, cmdline);
    const bool completed = trimmed.size() == 15 && name.size() > 15 && name.starts_with(trimmed) &&
                           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
    if (name != trimmed && !completed)
        __builtin_trap();
    return 0;
}
