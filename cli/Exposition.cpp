#include "Exposition.h"

#include <charconv>
#include <cstring>
#include <map>

#include "TerminalText.h"
#include "platform/SelfUsage.h"

namespace {

// The engine's drop and miss counters, with what each means as its help text.
struct EngineCounter {
    const char* name;
    const char* help;
    XEngineStats::Kind kind;
    uint64_t XEngineStats::*field;
};

constexpr EngineCounter kEngineCounters[] = {
#define XENGINE_COUNTER_ENTRY(field, name, kind, meaning) {name, meaning, XEngineStats::kind, &XEngineStats::field},
    XENGINE_COUNTERS(XENGINE_COUNTER_ENTRY)
#undef XENGINE_COUNTER_ENTRY
};

constexpr const char* kDirections[2] = {"received", "sent"};
constexpr const char* kDiskDirections[2] = {"read", "written"};
constexpr const char kOther[] = "other";
// The program label of bytes no program name was found for.
constexpr const char kUnknownProgram[] = "unknown";

std::string label(const char* name, const std::string& escapedValue)
{
    return std::string(name) + "=\"" + escapedValue + "\"";
}

void appendNumber(std::string& out, double value)
{
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    out.append(text, ec == std::errc() ? end : text);
}

// Help texts allow a backslash and a line feed only as escapes.
void appendHelp(std::string& out, const std::string& help)
{
    for (char c : help) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

MetricFamily family(const char* name, MetricFamily::Type type, const char* help)
{
    MetricFamily f;
    f.name = name;
    f.type = type;
    f.help = help;
    return f;
}

void addProgramFamilies(Exposition& e, TopCounters<6>& programs, const Report& r)
{
    // The run's totals per program: its live processes and those that ended, summed.
    std::map<std::string, TopCounters<6>::Entry> byName;
    for (const XProcessRow& row : r.processes) {
        const std::string name = row.name.empty() ? kUnknownProgram : row.name;
        TopCounters<6>::Entry& entry = byName[name];
        const double values[6] = {double(row.received),        double(row.sent),
                                  double(row.packetsReceived), double(row.packetsSent),
                                  double(row.read),            double(row.written)};
        for (int i = 0; i < 6; ++i)
            entry.value[size_t(i)] += values[i];
        entry.rank += double(row.received + row.sent + row.read + row.written);
    }
    std::vector<TopCounters<6>::Entry> entries;
    entries.reserve(byName.size());
    for (auto& [name, entry] : byName) {
        entry.key = name;
        entry.label = metricLabelValue(name);
        entries.push_back(std::move(entry));
    }
    const TopCounters<6>::Result top = programs.update(std::move(entries));

    MetricFamily bytes = family("lumivex_program_bytes", MetricFamily::kCounter,
                                "Network bytes of each program over the run (IP total lengths); the busiest "
                                "programs by name, the rest summed as program other");
    MetricFamily packets = family("lumivex_program_packets", MetricFamily::kCounter,
                                  "Network packets of each program over the run; programs as in "
                                  "lumivex_program_bytes_total");
    MetricFamily disk = family("lumivex_program_disk_bytes", MetricFamily::kCounter,
                               "Storage bytes each program read and wrote over the run; programs as in "
                               "lumivex_program_bytes_total");
    const auto add = [&](const std::string& program, const TopCounters<6>::Values& v) {
        const std::string p = label("program", program) + ",direction=\"";
        for (int d = 1; d >= 0; --d) {
            bytes.samples.push_back({p + kDirections[d] + "\"", v[size_t(d)]});
            packets.samples.push_back({p + kDirections[d] + "\"", v[size_t(2 + d)]});
        }
        for (int d = 0; d < 2; ++d)
            disk.samples.push_back({p + kDiskDirections[d] + "\"", v[size_t(4 + d)]});
    };
    for (const TopCounters<6>::Series& s : top.series)
        add(s.label, s.value);
    add(kOther, top.other);
    e.families.push_back(std::move(bytes));
    e.families.push_back(std::move(packets));
    e.families.push_back(std::move(disk));
}

void addRemoteFamilies(Exposition& e, TopCounters<2>& remotes, const Report& r)
{
    // A remote host is its address, named by the DNS name learnt for it when there is one.
    // The chat table holds addresses the TCP and UDP tables already count.
    std::map<std::string, TopCounters<2>::Entry> byAddress;
    for (const TrafficTable& table : r.tables) {
        if (table.name != "tcp" && table.name != "udp")
            continue;
        for (const TrafficRow& row : table.rows) {
            TopCounters<2>::Entry& entry = byAddress[row.address];
            entry.value[0] += row.bytesReceived;
            entry.value[1] += row.bytesSent;
            entry.rank += row.bytesReceived + row.bytesSent;
            if (entry.label.empty() || !row.dnsName.empty())
                entry.label = row.dnsName.empty() ? row.address : row.dnsName;
        }
    }
    std::vector<TopCounters<2>::Entry> entries;
    entries.reserve(byAddress.size());
    for (auto& [address, entry] : byAddress) {
        entry.key = address;
        entry.label = metricLabelValue(entry.label);
        entries.push_back(std::move(entry));
    }
    const size_t addresses = entries.size();
    const TopCounters<2>::Result top = remotes.update(std::move(entries));

    MetricFamily bytes = family("lumivex_remote_bytes", MetricFamily::kCounter,
                                "Network bytes exchanged with each remote host over the run (IP total lengths); "
                                "the busiest hosts by DNS name or address, the rest summed as remote other");
    const auto add = [&](const std::string& remote, const TopCounters<2>::Values& v) {
        for (int d = 1; d >= 0; --d)
            bytes.samples.push_back({label("remote", remote) + ",direction=\"" + kDirections[d] + "\"", v[size_t(d)]});
    };
    for (const TopCounters<2>::Series& s : top.series)
        add(s.label, s.value);
    add(kOther, top.other);
    e.families.push_back(std::move(bytes));

    MetricFamily known = family("lumivex_remote_addresses", MetricFamily::kGauge,
                                "Remote IPv4 addresses the TCP and UDP tables hold");
    known.samples.push_back({"", double(addresses)});
    e.families.push_back(std::move(known));
}

void addEngineFamilies(Exposition& e, const Report& r)
{
    MetricFamily info = family("lumivex", MetricFamily::kInfo, "The program's version and its kernel event source");
    info.samples.push_back({label("version", metricLabelValue(r.version)) + "," +
                                label("event_source", metricLabelValue(r.eventSource)),
                            1});
    e.families.push_back(std::move(info));
    MetricFamily capturing = family("lumivex_capturing", MetricFamily::kGauge,
                                    "1 while the kernel event source delivers traffic, else 0");
    capturing.samples.push_back({"", r.engine.capturing ? 1.0 : 0.0});
    e.families.push_back(std::move(capturing));
    for (const EngineCounter& c : kEngineCounters) {
        if (c.kind == XEngineStats::kFlow)
            continue;
        MetricFamily f;
        f.name = std::string("lumivex_") + c.name;
        f.type = MetricFamily::kCounter;
        f.help = c.help;
        f.samples.push_back({"", double(r.engine.*c.field)});
        e.families.push_back(std::move(f));
    }
}

// The history recorder's counters, while the run records: its losses belong with the engine's.
void addHistoryFamilies(Exposition& e, const HistoryStatus& history)
{
    if (history.role.empty())
        return;
    for (const HistoryStatus::Counter& c : history.counters) {
        MetricFamily f;
        f.name = "lumivex_" + c.name;
        f.type = MetricFamily::kCounter;
        f.help = c.meaning.empty() ? c.name : c.meaning;
        f.samples.push_back({"", double(c.value)});
        e.families.push_back(std::move(f));
    }
}

void addProcessFamilies(Exposition& e, const platform::SelfUsage& self)
{
    const auto add = [&](const char* name, MetricFamily::Type type, const char* help, double value) {
        MetricFamily f = family(name, type, help);
        f.samples.push_back({"", value});
        e.families.push_back(std::move(f));
    };
    add("process_cpu_seconds", MetricFamily::kCounter, "User and system processor time of this process, seconds",
        self.cpuSeconds);
    add("process_resident_memory_bytes", MetricFamily::kGauge, "Resident memory of this process, bytes",
        double(self.residentBytes));
    add("process_virtual_memory_bytes", MetricFamily::kGauge, "Virtual memory of this process, bytes",
        double(self.virtualBytes));
    if (self.startTimeSeconds > 0)
        add("process_start_time_seconds", MetricFamily::kGauge,
            "Start time of this process, seconds since 1970", self.startTimeSeconds);
    if (self.openFiles >= 0)
        add("process_open_fds", MetricFamily::kGauge, "Open file descriptors of this process",
            double(self.openFiles));
    if (self.maxFiles >= 0)
        add("process_max_fds", MetricFamily::kGauge, "Limit of open file descriptors of this process",
            double(self.maxFiles));
}

} // namespace

size_t Exposition::series() const
{
    size_t n = 0;
    for (const MetricFamily& f : families)
        n += f.samples.size();
    return n;
}

std::string metricLabelValue(const std::string& text)
{
    const std::string shown = terminalSafe(text);
    std::string out;
    out.reserve(shown.size());
    for (char c : shown) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string renderExposition(const Exposition& e, ExpositionFormat format)
{
    const bool open = format == ExpositionFormat::kOpenMetrics;
    std::string out;
    out.reserve(e.series() * 80 + e.families.size() * 120);
    for (const MetricFamily& f : e.families) {
        // OpenMetrics names a family without the suffix its samples carry; the older format
        // names the samples, and has no info type: an info is a gauge of 1 there.
        const std::string sampleName =
            f.name + (f.type == MetricFamily::kCounter ? "_total" : f.type == MetricFamily::kInfo ? "_info" : "");
        const std::string& familyName = open ? f.name : sampleName;
        out += "# HELP " + familyName + " ";
        appendHelp(out, f.help);
        out += "\n# TYPE " + familyName + " ";
        out += f.type == MetricFamily::kCounter ? "counter" : f.type == MetricFamily::kInfo && open ? "info" : "gauge";
        out += '\n';
        for (const MetricFamily::Sample& s : f.samples) {
            out += sampleName;
            if (!s.labels.empty())
                out += "{" + s.labels + "}";
            out += ' ';
            appendNumber(out, s.value);
            out += '\n';
        }
    }
    if (open)
        out += "# EOF\n";
    return out;
}

const char* expositionContentType(ExpositionFormat format)
{
    return format == ExpositionFormat::kOpenMetrics ? "application/openmetrics-text; version=1.0.0; charset=utf-8"
                                                    : "text/plain; version=0.0.4; charset=utf-8";
}

ExpositionFormat expositionFormatFor(const char* accept)
{
    return accept && std::strstr(accept, "application/openmetrics-text") ? ExpositionFormat::kOpenMetrics
                                                                          : ExpositionFormat::kPrometheus;
}

ExpositionBuilder::ExpositionBuilder(Limits limits) : m_remotes(limits.remoteHosts), m_programs(limits.programs) {}

Exposition ExpositionBuilder::build(const Report& report, const platform::SelfUsage* self)
{
    Exposition e;
    addEngineFamilies(e, report);
    addHistoryFamilies(e, report.history);
    addProgramFamilies(e, m_programs, report);
    addRemoteFamilies(e, m_remotes, report);
    if (self)
        addProcessFamilies(e, *self);
    return e;
}
