#include "Options.h"

#include <charconv>
#include <cstring>

const char* const kUsage =
    "usage: lumivex [--seconds N] [--json] [--log FILE]\n"
    "  --seconds N  print once after N seconds and exit (default: reprint every second)\n"
    "  --json       print one JSON document instead of tables\n"
    "  --log FILE   also write log lines to FILE\n";

bool parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--seconds" || arg == "--log") {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            const char* value = argv[++i];
            if (arg == "--log") {
                options.logFile = value;
                continue;
            }
            const char* end = value + std::strlen(value);
            const auto [ptr, ec] = std::from_chars(value, end, options.seconds);
            if (ec != std::errc() || ptr != end || options.seconds < 1) {
                error = "--seconds needs a whole number of at least 1";
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}
