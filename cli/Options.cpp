#include "Options.h"
#include "MetricsEndpoint.h"

#include <charconv>
#include <climits>
#include <cstring>

const char* const kUsage =
    "usage: lumivex [--seconds N] [--json | --csv] [--log FILE] [--metrics ADDR:PORT] [--help]\n"
    "       lumivex --service [--metrics ADDR:PORT] [--log FILE]\n"
#ifdef LUMIVEX_HAVE_HISTORY
    "               [--history FILE] [--history-flush SECONDS] [--no-history]\n"
    "               [--history-keep TIER=DURATION,...] [--history-hosts N]\n"
    "       lumivex history --help   (what was recorded, per program and host)\n"
#endif
    "  --seconds N  print once after N seconds and exit (default: reprint every second)\n"
    "  --json       print one JSON document instead of tables\n"
    "  --csv        print the traffic tables as CSV instead\n"
    "  --log FILE   also write log lines to FILE\n"
    "  --service    print nothing, log to standard error, run until SIGTERM (a systemd service)\n"
    "  --metrics ADDR:PORT  serve GET /metrics for Prometheus there; PORT alone: on 127.0.0.1\n"
    "  --metrics-hosts K    remote hosts with metrics of their own, the rest as \"other\" (default 50)\n"
#ifdef LUMIVEX_HAVE_HISTORY
    "  --history FILE           record the run's history into FILE (default:\n"
    "                           $XDG_DATA_HOME/lumivex/history.sqlite)\n"
    "  --history-flush SECONDS  write what was counted this often (default 60; always at the end)\n"
    "  --no-history             record nothing\n"
    "  --history-keep 5min=7d,hour=90d,day=5y,month=forever\n"
    "                           how long each tier is kept (d, w, mo, y or forever; a coarser\n"
    "                           tier is never kept shorter than a finer one)\n"
    "  --history-hosts N        hosts kept by name per program and bucket, the rest folded\n"
    "                           into \"other hosts\" (default 200)\n"
#endif
    "  --help       print this text and exit\n"
    "\n"
    "Bytes are IP total lengths, headers included. With the eBPF source (counted per flow in\n"
    "the kernel) a segmentation-offload packet counts as the packets it stands for on the link,\n"
    "each with its IP and TCP or UDP header, and a datagram the IP layer fragments counts once,\n"
    "whole, as its socket sent or received it. With the libpcap fallback a packet counts as\n"
    "captured: an offload packet once with one set of headers, each fragment on its own. On\n"
    "Windows (the kernel's event trace) each send or receive call of a socket counts as one\n"
    "packet: the bytes it moved and one IP and TCP (40 bytes) or UDP (28 bytes) header. The\n"
    "counters heading names the source; the JSON has it in \"event_source\" and the rule in\n"
    "\"bytes_counted\".\n";

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

// A whole number from 1 to INT_MAX.
bool parseCount(const std::string& option, const char* value, int& out, std::string& error)
{
    const char* end = value + std::strlen(value);
    int n = 0;
    const auto [ptr, ec] = std::from_chars(value, end, n);
    if (ec == std::errc::result_out_of_range && ptr == end && *value != '-') {
        error = option + " " + std::string(value) + " is too large (at most " + std::to_string(INT_MAX) + ")";
        return false;
    }
    if (ec != std::errc() || ptr != end || n < 1) {
        error = option + " needs a whole number of at least 1";
        return false;
    }
    out = n;
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
        } else if (arg == "--csv") {
            options.csv = true;
        } else if (arg == "--service") {
            options.service = true;
        } else if (arg == "--metrics" || arg == "--metrics-hosts") {
            if (!parseMetricsOption(arg, i + 1 < argc ? argv[++i] : nullptr, options, error))
                return false;
#ifdef LUMIVEX_HAVE_HISTORY
        } else if (arg == "--no-history") {
            options.noHistory = true;
#endif
        } else if (arg == "--seconds" || arg == "--log"
#ifdef LUMIVEX_HAVE_HISTORY
                   || arg == "--history" || arg == "--history-flush" || arg == "--history-keep" || arg == "--history-hosts"
#endif
        ) {
            if (i + 1 >= argc || !argv[i + 1]) {
                error = arg + " needs a value";
                return false;
            }
            const char* value = argv[++i];
            if (arg == "--log") {
                options.logFile = value;
            } else if (arg == "--history") {
                if (*value == '\0') {
                    error = "--history needs a file name";
                    return false;
                }
                options.historyFile = value;
#ifdef LUMIVEX_HAVE_HISTORY
            } else if (arg == "--history-keep") {
                if (!history::parseRetention(value, options.historyKeep, &error)) {
                    error = "--history-keep: " + error;
                    return false;
                }
            } else if (arg == "--history-hosts") {
                if (!parseCount(arg, value, options.historyHosts, error))
                    return false;
                if (options.historyHosts > 100000) {
                    error = "--history-hosts is at most 100000";
                    return false;
                }
#endif
            } else if (!parseCount(arg, value, arg == "--seconds" ? options.seconds : options.historyFlushSeconds,
                                   error)) {
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (options.service && (options.json || options.csv)) {
        error = std::string("--service prints nothing: ") + (options.json ? "--json" : "--csv") + " has no use with it";
        return false;
    }
    if (options.json && options.csv) {
        error = "--json and --csv exclude each other";
        return false;
    }
    return true;
}
