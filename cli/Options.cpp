#include "Options.h"
#include "MetricsEndpoint.h"

#include <charconv>
#include <climits>
#include <cstring>

const char* const kUsage =
    "usage: lumivex [--seconds N] [--json] [--log FILE] [--metrics ADDR:PORT] [--help]\n"
    "       lumivex --service [--metrics ADDR:PORT] [--log FILE]\n"
#ifdef LUMIVEX_HAVE_HISTORY
    "       lumivex history --help   (what was recorded, per program and host)\n"
#endif
    "  --seconds N  print once after N seconds and exit (default: reprint every second)\n"
    "  --json       print one JSON document instead of tables\n"
    "  --log FILE   also write log lines to FILE\n"
    "  --service    print nothing, log to standard error, run until SIGTERM (a systemd service)\n"
    "  --metrics ADDR:PORT  serve GET /metrics for Prometheus there; PORT alone: on 127.0.0.1\n"
    "  --metrics-hosts K    remote hosts with metrics of their own, the rest as \"other\" (default 50)\n"
    "  --help       print this text and exit\n";

namespace {

bool parseMetricsOption(const std::string& option, const char* value, Options& options, std::string& error)
{
    if (!value) {
        error = option + " needs a value";
        return false;
    }
    if (option == "--metrics") {
        MetricsEndpoint endpoint;
        if (!parseMetricsEndpoint(value, endpoint, error))
            return false;
        options.metrics = value;
        return true;
    }
    int hosts = 0;
    const char* end = value + std::strlen(value);
    const auto [ptr, ec] = std::from_chars(value, end, hosts);
    if (ec != std::errc() || ptr != end || hosts < 1 || hosts > 1000) {
        error = "--metrics-hosts needs a whole number from 1 to 1000";
        return false;
    }
    options.metricsHosts = hosts;
    return true;
}

} // namespace

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
        } else if (arg == "--service") {
            options.service = true;
        } else if (arg == "--metrics" || arg == "--metrics-hosts") {
            if (!parseMetricsOption(arg, i + 1 < argc ? argv[++i] : nullptr, options, error))
                return false;
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
    if (options.service && options.json) {
        error = "--service prints nothing: --json has no use with it";
        return false;
    }
    return true;
}
