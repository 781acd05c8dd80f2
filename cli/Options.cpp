#include "Options.h"

#include <charconv>
#include <climits>
#include <cstring>

const char* const kUsage =
    "usage: lumivex [--seconds N] [--json] [--log FILE] [--help]\n"
#ifdef LUMIVEX_HAVE_HISTORY
    "       lumivex history --help   (what was recorded, per program and host)\n"
#endif
    "  --seconds N  print once after N seconds and exit (default: reprint every second)\n"
    "  --json       print one JSON document instead of tables\n"
    "  --log FILE   also write log lines to FILE\n"
    "  --help       print this text and exit\n"
    "\n"
    "Bytes are IP total lengths, headers included. With the eBPF source (counted per flow in\n"
    "the kernel) a segmentation-offload packet counts as the packets it stands for on the link,\n"
    "each with its IP and TCP or UDP header, and a datagram the IP layer fragments counts once,\n"
    "whole, as its socket sent or received it. With the libpcap fallback a packet counts as\n"
    "captured: an offload packet once with one set of headers, each fragment on its own. The\n"
    "counters heading names the source; the JSON has it in \"event_source\" and the rule in\n"
    "\"bytes_counted\".\n";

bool parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        }
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--seconds" || arg == "--log") {
            if (i + 1 >= argc || !argv[i + 1]) {
                error = arg + " needs a value";
                return false;
            }
            const char* value = argv[++i];
            if (arg == "--log") {
                options.logFile = value;
                continue;
            }
            const char* end = value + std::strlen(value);
            int seconds = 0;
            const auto [ptr, ec] = std::from_chars(value, end, seconds);
            if (ec == std::errc::result_out_of_range && ptr == end && *value != '-') {
                error = "--seconds " + std::string(value) + " is too large (at most " + std::to_string(INT_MAX) + ")";
                return false;
            }
            if (ec != std::errc() || ptr != end || seconds < 1) {
                error = "--seconds needs a whole number of at least 1";
                return false;
            }
            options.seconds = seconds;
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}
