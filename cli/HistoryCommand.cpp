#include "HistoryCommand.h"

#include <cinttypes>
#include <cstdlib>
#include <ctime>

#include "Report.h"
#include "TerminalText.h"
#include "history/Csv.h"
#include "history/Database.h"
#include "history/HistoryPath.h"
#include "history/Privacy.h"

namespace {

using By = HistoryOptions::By;

history::Step stepOf(By by)
{
    return by == By::Hour ? history::Step::Hour : by == By::Day ? history::Step::Day : history::Step::Month;
}

const char* byName(By by)
{
    switch (by) {
    case By::Program: return "program";
    case By::Host: return "host";
    case By::Location: return "location";
    case By::Hour: return "hour";
    case By::Day: return "day";
    case By::Month: return "month";
    }
    return "";
}

std::string bytesText(uint64_t bytes)
{
    return humanBytes(double(bytes));
}

std::string shareText(double share)
{
    char text[16];
    std::snprintf(text, sizeof text, "%5.1f%%", share * 100.0);
    return text;
}

std::string trimmed(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

void usageJson(std::FILE* out, const history::Usage& u)
{
    std::fprintf(out, "\"received\": %" PRIu64 ", \"sent\": %" PRIu64 ", \"total\": %" PRIu64
                      ", \"packets_received\": %" PRIu64 ", \"packets_sent\": %" PRIu64,
                 u.received, u.sent, u.total(), u.packetsReceived, u.packetsSent);
}

void hostJson(std::FILE* out, const history::HostUsage& h)
{
    if (h.otherHosts)
        std::fputs("{\"address\": null, \"other_hosts\": true, ", out);
    else
        std::fprintf(out, "{\"address\": %s, \"other_hosts\": false, ", jsonString(history::dottedAddress(h.address)).c_str());
    std::fprintf(out, "\"dns_name\": %s, \"location\": %s, ", jsonString(h.dnsName).c_str(), jsonString(h.location).c_str());
    usageJson(out, h.net);
    std::fprintf(out, ", \"share\": %.6f, \"programs\": %d}", h.share, h.programs);
}

} // namespace

bool readHistoryReport(history::HistoryReader& reader, const HistoryOptions& options, HistoryReport& report)
{
    report.options = options;
    history::Filter filter;
    filter.program = options.program;
    filter.host = options.host;
    switch (options.by) {
    case By::Program:
        report.answer = reader.programs(options.range, filter, report.programs);
        if (report.answer.ok && options.format == HistoryOptions::Format::Json) {
            for (const history::ProgramUsage& p : report.programs) {
                report.hostsOfPrograms.emplace_back();
                // "Other programs" has no name to narrow by; its hosts are not listed.
                if (p.id == 0)
                    continue;
                history::Filter one;
                one.programId = p.id;
                one.host = options.host;
                const history::Answer a = reader.hosts(options.range, one, report.hostsOfPrograms.back());
                if (!a.ok) {
                    report.answer = a;
                    break;
                }
            }
        }
        break;
    case By::Host: report.answer = reader.hosts(options.range, filter, report.hosts); break;
    case By::Location: report.answer = reader.locations(options.range, filter, report.locations); break;
    case By::Hour:
    case By::Day:
    case By::Month: report.answer = reader.series(options.range, stepOf(options.by), filter, report.series); break;
    }
    return report.answer.ok;
}

void printHistoryText(std::FILE* out, const HistoryReport& r)
{
    const HistoryOptions& o = r.options;
    std::fprintf(out, "History %s: %s to %s (local time), by %s", terminalSafe(o.rangeText).c_str(),
                 history::formatLocal(o.range.from).c_str(), history::formatLocal(o.range.to).c_str(), byName(o.by));
    if (!o.program.empty())
        std::fprintf(out, ", program %s", terminalSafe(o.program).c_str());
    if (o.host)
        std::fprintf(out, ", host %s", history::dottedAddress(*o.host).c_str());
    std::fprintf(out, "\n  from %s\n", terminalSafe(r.path).c_str());
    const history::TimeRange& c = r.answer.covered;
    if (!c.empty() && (std::llabs(c.from - o.range.from) > 300 || std::llabs(c.to - o.range.to) > 300))
        std::fprintf(out, "  older times are kept in coarser buckets: this answer covers %s to %s\n",
                     history::formatLocal(c.from).c_str(), history::formatLocal(c.to).c_str());
    std::fputc('\n', out);

    char line[1024];
    switch (o.by) {
    case By::Program:
        std::fprintf(out, "%-24s %10s %10s %10s %6s %10s %10s  %s\n", "Program", "Received", "Sent", "Total", "Share",
                     "Disk read", "Disk write", "Path");
        for (const history::ProgramUsage& p : r.programs) {
            std::snprintf(line, sizeof line, "%s %10s %10s %10s %6s %10s %10s  %s",
                          fitColumn(terminalSafe(history::programLabel(p)), 24).c_str(), bytesText(p.net.received).c_str(),
                          bytesText(p.net.sent).c_str(), bytesText(p.net.total()).c_str(), shareText(p.share).c_str(),
                          bytesText(p.diskRead).c_str(), bytesText(p.diskWritten).c_str(), terminalSafe(p.path).c_str());
            std::fprintf(out, "%s\n", trimmed(line).c_str());
        }
        std::fprintf(out, "%zu programs\n", r.programs.size());
        break;
    case By::Host:
        std::fprintf(out, "%-15s %-32s %-16s %10s %10s %10s %6s %8s\n", "Address", "DNS name", "Location", "Received",
                     "Sent", "Total", "Share", "Programs");
        for (const history::HostUsage& h : r.hosts) {
            std::snprintf(line, sizeof line, "%-15s %s %s %10s %10s %10s %6s %8d", history::hostLabel(h).c_str(),
                          fitColumn(terminalSafe(h.dnsName), 32).c_str(), fitColumn(terminalSafe(h.location), 16).c_str(),
                          bytesText(h.net.received).c_str(), bytesText(h.net.sent).c_str(), bytesText(h.net.total()).c_str(),
                          shareText(h.share).c_str(), h.programs);
            std::fprintf(out, "%s\n", line);
        }
        std::fprintf(out, "%zu hosts\n", r.hosts.size());
        break;
    case By::Location:
        std::fprintf(out, "%-24s %10s %10s %10s %6s %6s\n", "Location", "Received", "Sent", "Total", "Share", "Hosts");
        for (const history::LocationUsage& l : r.locations)
            std::fprintf(out, "%s %10s %10s %10s %6s %6d\n", fitColumn(terminalSafe(history::locationLabel(l)), 24).c_str(),
                         bytesText(l.net.received).c_str(), bytesText(l.net.sent).c_str(), bytesText(l.net.total()).c_str(),
                         shareText(l.share).c_str(), l.hosts);
        std::fprintf(out, "%zu locations\n", r.locations.size());
        break;
    case By::Hour:
    case By::Day:
    case By::Month:
        std::fprintf(out, "%-16s %10s %10s %10s\n", "From", "Received", "Sent", "Total");
        for (const history::SeriesPoint& p : r.series)
            std::fprintf(out, "%-16s %10s %10s %10s\n", history::formatLocal(p.from, o.by != By::Hour).c_str(),
                         bytesText(p.net.received).c_str(), bytesText(p.net.sent).c_str(), bytesText(p.net.total()).c_str());
        break;
    }
}

void printHistoryJson(std::FILE* out, const HistoryReport& r)
{
    const HistoryOptions& o = r.options;
    std::fprintf(out, "{\n  \"history\": %s,\n  \"by\": \"%s\",\n", jsonString(r.path).c_str(), byName(o.by));
    std::fprintf(out, "  \"program\": %s,\n  \"host\": %s,\n", o.program.empty() ? "null" : jsonString(o.program).c_str(),
                 o.host ? jsonString(history::dottedAddress(*o.host)).c_str() : "null");
    std::fprintf(out, "  \"from\": %" PRId64 ", \"to\": %" PRId64 ", \"covered_from\": %" PRId64 ", \"covered_to\": %" PRId64 ",\n",
                 o.range.from, o.range.to, r.answer.covered.from, r.answer.covered.to);
    std::fputs("  \"rows\": [", out);
    const auto separator = [&](size_t i) { std::fputs(i ? ",\n    " : "\n    ", out); };
    size_t n = 0;
    switch (o.by) {
    case By::Program:
        for (size_t i = 0; i < r.programs.size(); ++i) {
            const history::ProgramUsage& p = r.programs[i];
            separator(n++);
            std::fprintf(out, "{\"program\": %s, \"path\": %s, \"other_programs\": %s, ", jsonString(p.name).c_str(),
                         jsonString(p.path).c_str(), p.id == 0 ? "true" : "false");
            usageJson(out, p.net);
            std::fprintf(out, ", \"share\": %.6f, \"disk_read\": %" PRIu64 ", \"disk_written\": %" PRIu64, p.share, p.diskRead,
                         p.diskWritten);
            if (i < r.hostsOfPrograms.size()) {
                std::fputs(", \"hosts\": [", out);
                for (size_t k = 0; k < r.hostsOfPrograms[i].size(); ++k) {
                    std::fputs(k ? ",\n      " : "\n      ", out);
                    hostJson(out, r.hostsOfPrograms[i][k]);
                }
                std::fputs(r.hostsOfPrograms[i].empty() ? "]" : "\n    ]", out);
            }
            std::fputc('}', out);
        }
        break;
    case By::Host:
        for (const history::HostUsage& h : r.hosts) {
            separator(n++);
            hostJson(out, h);
        }
        break;
    case By::Location:
        for (const history::LocationUsage& l : r.locations) {
            separator(n++);
            std::fprintf(out, "{\"location\": %s, \"other_hosts\": %s, ", jsonString(l.location).c_str(),
                         l.otherHosts ? "true" : "false");
            usageJson(out, l.net);
            std::fprintf(out, ", \"share\": %.6f, \"hosts\": %d}", l.share, l.hosts);
        }
        break;
    case By::Hour:
    case By::Day:
    case By::Month:
        for (const history::SeriesPoint& p : r.series) {
            separator(n++);
            std::fprintf(out, "{\"from\": %" PRId64 ", \"to\": %" PRId64 ", \"from_local\": %s, ", p.from, p.to,
                         jsonString(history::formatLocal(p.from)).c_str());
            usageJson(out, p.net);
            std::fputc('}', out);
        }
        break;
    }
    std::fputs(n ? "\n  ]\n}\n" : "]\n}\n", out);
}

void printHistoryCsv(std::FILE* out, const HistoryReport& r)
{
    std::string text;
    switch (r.options.by) {
    case By::Program: text = history::programsCsv(r.programs); break;
    case By::Host: text = history::hostsCsv(r.hosts); break;
    case By::Location: text = history::locationsCsv(r.locations); break;
    case By::Hour:
    case By::Day:
    case By::Month: text = history::seriesCsv(r.series); break;
    }
    std::fwrite(text.data(), 1, text.size(), out);
}

int runHistoryCommand(int argc, char** argv, std::FILE* out, std::FILE* err)
{
    HistoryOptions options;
    std::string error;
    if (!parseHistoryOptions(argc, argv, int64_t(std::time(nullptr)), options, error)) {
        std::fprintf(err, "lumivex history: %s\n%s", terminalSafe(error).c_str(), kHistoryUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kHistoryUsage, out);
        return 0;
    }
    const std::string path = history::historyPath(options.file);
    if (path.empty()) {
        std::fputs("lumivex history: no place for the history: set HOME, XDG_DATA_HOME or --history FILE\n", err);
        return 1;
    }
    if (options.action != HistoryOptions::Action::Show) {
        history::Database db;
        if (!history::openForChanges(db, path, &error)) {
            std::fprintf(err, "lumivex history: %s\n", terminalSafe(error).c_str());
            return 1;
        }
        std::string message;
        bool ok = false;
        switch (options.action) {
        case HistoryOptions::Action::ForgetProgram: ok = history::forgetProgram(db, options.forgetProgram, {}, &message); break;
        case HistoryOptions::Action::ForgetHost: ok = history::forgetHost(db, options.forgetHost, &message); break;
        case HistoryOptions::Action::Clear: ok = history::clearHistory(db, &message); break;
        case HistoryOptions::Action::Show: break;
        }
        std::fprintf(ok ? out : err, "%s%s\n", ok ? "" : "lumivex history: ", terminalSafe(message).c_str());
        return ok ? 0 : 1;
    }
    history::HistoryReader reader;
    if (!reader.open(path, &error)) {
        std::fprintf(err, "lumivex history: %s\n", terminalSafe(error).c_str());
        return 1;
    }
    HistoryReport report;
    report.path = path;
    if (!readHistoryReport(reader, options, report)) {
        std::fprintf(err, "lumivex history: cannot read %s: %s\n", terminalSafe(path).c_str(),
                     terminalSafe(report.answer.error).c_str());
        return 1;
    }
    switch (options.format) {
    case HistoryOptions::Format::Text: printHistoryText(out, report); break;
    case HistoryOptions::Format::Json: printHistoryJson(out, report); break;
    case HistoryOptions::Format::Csv: printHistoryCsv(out, report); break;
    }
    return 0;
}
