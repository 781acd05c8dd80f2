#include "HistoryOptions.h"

#include <algorithm>
#include <charconv>
#include <vector>

const char* const kHistoryUsage =
    "usage: lumivex history [RANGE] [--by program|host|location|hour|day|month]\n"
    "                       [--program NAME] [--host ADDR] [--json | --csv] [--history FILE]\n"
    "       lumivex history --forget-program NAME | --forget-host ADDR | --clear [--history FILE]\n"
    "Prints the traffic recorded per program and host, without capturing (no privileges needed).\n"
    "  RANGE is one of (local time; default --since 24h):\n"
    "    --since N{m,h,d,w,mo,y} | --since today\n"
    "    --from YYYY-MM-DD[THH:MM] [--to YYYY-MM-DD[THH:MM]]  (a date alone for --to includes that day)\n"
    "    --month YYYY-MM\n"
    "  --by             group by program (default), host, location, or a series by hour, day or month\n"
    "  --program NAME   only that program (base name or full path); groups by host unless --by is given\n"
    "  --host ADDR      only the traffic with that IPv4 address\n"
    "  --json, --csv    one JSON document / CSV instead of a table\n"
    "  --history FILE   the database (default $STATE_DIRECTORY/history.sqlite under systemd,\n"
    "                   else $XDG_DATA_HOME/lumivex/history.sqlite or ~/.local/share/lumivex/history.sqlite)\n"
    "  --forget-program NAME, --forget-host ADDR, --clear\n"
    "                   remove that program, that host or everything from the history for good\n";

bool parseAddress(const std::string& text, uint32_t& out)
{
    uint32_t value = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (p == end || *p != '.')
                return false;
            ++p;
        }
        unsigned octet = 0;
        const auto [next, ec] = std::from_chars(p, end, octet);
        if (ec != std::errc() || next == p || next - p > 3 || octet > 255)
            return false;
        value = value << 8 | octet;
        p = next;
    }
    if (p != end)
        return false;
    out = value;
    return true;
}

bool parseHistoryOptions(int argc, char** argv, int64_t now, HistoryOptions& options, std::string& error)
{
    std::string since, from, to, month;
    int actions = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        }
        if (arg == "--json" || arg == "--csv") {
            options.format = arg == "--json" ? HistoryOptions::Format::Json : HistoryOptions::Format::Csv;
            continue;
        }
        if (arg == "--clear") {
            options.action = HistoryOptions::Action::Clear;
            ++actions;
            continue;
        }
        static const std::vector<std::string> valued = {"--since", "--from", "--to", "--month", "--by", "--program",
                                                        "--host", "--history", "--forget-program", "--forget-host"};
        if (std::find(valued.begin(), valued.end(), arg) == valued.end()) {
            error = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= argc || !argv[i + 1] || !*argv[i + 1]) {
            error = arg + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--since") {
            since = value;
        } else if (arg == "--from") {
            from = value;
        } else if (arg == "--to") {
            to = value;
        } else if (arg == "--month") {
            month = value;
        } else if (arg == "--program") {
            options.program = value;
        } else if (arg == "--history") {
            options.file = value;
        } else if (arg == "--forget-program") {
            options.action = HistoryOptions::Action::ForgetProgram;
            options.forgetProgram = value;
            ++actions;
        } else if (arg == "--host" || arg == "--forget-host") {
            uint32_t address = 0;
            if (!parseAddress(value, address)) {
                error = arg + " needs an IPv4 address such as 10.0.0.1: " + value;
                return false;
            }
            if (arg == "--host") {
                options.host = address;
            } else {
                options.action = HistoryOptions::Action::ForgetHost;
                options.forgetHost = address;
                ++actions;
            }
        } else if (arg == "--by") {
            static const std::vector<std::pair<std::string, HistoryOptions::By>> names = {
                {"program", HistoryOptions::By::Program}, {"host", HistoryOptions::By::Host},
                {"location", HistoryOptions::By::Location}, {"hour", HistoryOptions::By::Hour},
                {"day", HistoryOptions::By::Day}, {"month", HistoryOptions::By::Month}};
            const auto it = std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.first == value; });
            if (it == names.end()) {
                error = "--by takes program, host, location, hour, day or month: " + value;
                return false;
            }
            options.by = it->second;
            options.byGiven = true;
        }
    }
    if (actions > 1) {
        error = "give one of --forget-program, --forget-host and --clear at a time";
        return false;
    }
    const int ranges = !since.empty() + !from.empty() + !month.empty();
    if (ranges > 1) {
        error = "give one range: --since, --from/--to or --month";
        return false;
    }
    if (!to.empty() && from.empty()) {
        error = "--to needs --from";
        return false;
    }
    if (!from.empty()) {
        options.range.to = now;
        if (!history::parseLocalTime(from, false, options.range.from, &error) ||
            (!to.empty() && !history::parseLocalTime(to, true, options.range.to, &error)))
            return false;
        if (options.range.empty()) {
            error = "--from must come before --to";
            return false;
        }
        options.rangeText = "from " + from + (to.empty() ? "" : " to " + to);
    } else if (!month.empty()) {
        if (!history::parseMonth(month, options.range, &error))
            return false;
        options.rangeText = "month " + month;
    } else {
        if (since.empty())
            since = "24h";
        if (!history::parseSince(since, now, options.range, &error))
            return false;
        options.rangeText = "since " + since;
    }
    if (!options.byGiven && !options.program.empty())
        options.by = HistoryOptions::By::Host;
    return true;
}
