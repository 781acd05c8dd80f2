// Fills a history database with a made-up desktop's last five weeks, ending now: a dozen
// programs with hosts of plausible names, busy in the day and quiet at night, for trying the
// window's History page and for its screenshot.
//
//   history_sample FILE [--days N]
//
// It goes through the real recorder (one flush per synthetic hour), so FILE has every tier
// as a long recording would leave it. FILE must not exist yet.
#include "history/Recorder.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

class SampleClock : public history::RecorderClock {
public:
    explicit SampleClock(int64_t seconds) : m_ms(seconds * 1000) {}
    history::ClockReading now() override { return {m_ms, m_ms}; }
    void set(int64_t seconds) { m_ms = seconds * 1000; }

private:
    int64_t m_ms;
};

struct Program {
    const char* name;
    const char* path;
    double megabytesAnHour;  // at the busiest hour
    double sentShare;
    std::vector<const char*> hosts;
};

const std::vector<Program> kPrograms = {
    {"firefox", "/usr/lib/firefox/firefox", 180, 0.06,
     {"www.example.org", "cdn.example.net", "video.example.com", "mail.example.org", "news.example.com",
      "static.example.net", "api.example.com", "fonts.example.net"}},
    {"chromium", "/usr/lib/chromium/chromium", 90, 0.08, {"docs.example.com", "meet.example.com", "cdn.example.net"}},
    {"thunderbird", "/usr/lib/thunderbird/thunderbird", 12, 0.3, {"imap.example.org", "smtp.example.org"}},
    {"apt", "/usr/lib/apt/methods/http", 60, 0.02, {"deb.example.org", "security.example.org"}},
    {"spotify", "/usr/share/spotify/spotify", 40, 0.03, {"audio.example.com", "api.example.com"}},
    {"ssh", "/usr/bin/ssh", 6, 0.45, {"build.example.org", "git.example.org"}},
    {"git-remote-https", "/usr/lib/git-core/git-remote-https", 8, 0.25, {"git.example.org"}},
    {"syncthing", "/usr/bin/syncthing", 25, 0.5, {"relay.example.net", "10.0.0.23"}},
    {"steam", "/usr/lib/steam/steam", 120, 0.01, {"content.example.net"}},
    {"signal-desktop", "/opt/Signal/signal-desktop", 3, 0.35, {"chat.example.org", "cdn.example.net"}},
    {"systemd-resolved", "/usr/lib/systemd/systemd-resolved", 0.3, 0.4, {"dns.example.net"}},
    {"NetworkManager", "/usr/sbin/NetworkManager", 0.05, 0.5, {"check.example.org"}},
};

const char* const kLocations[] = {"Frankfurt, DE", "Amsterdam, NL", "Virginia, US", "Tokyo, JP", "Paris, FR",
                                  "Singapore, SG", "Stockholm, SE", "Oregon, US"};

uint32_t addressOf(const std::string& host, int index)
{
    if (host.rfind("10.", 0) == 0)
        return 0x0A000017;
    return 0x5D000000u + uint32_t(std::hash<std::string>()(host) % 0x00FFFF00u) + uint32_t(index);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: history_sample FILE [--days N]\n");
        return 2;
    }
    const std::string path = argv[1];
    int days = 35;
    if (argc == 4 && std::string(argv[2]) == "--days")
        days = std::max(1, std::atoi(argv[3]));
    if (std::filesystem::exists(path)) {
        std::fprintf(stderr, "history_sample: %s exists\n", path.c_str());
        return 1;
    }
    const int64_t now = int64_t(std::time(nullptr));
    const int64_t start = (now - int64_t(days) * 86400) / 3600 * 3600;
    SampleClock clock(start);
    history::RecorderOptions options;
    options.path = path;
    options.clock = &clock;
    options.flushInterval = std::chrono::hours(24);
    options.location = [](uint32_t a) {
        return (a >> 24) == 10 ? std::string("LAN") : std::string(kLocations[a % std::size(kLocations)]);
    };
    history::Recorder recorder(options);
    recorder.start();
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int64_t hour = start; hour < now; hour += 3600) {
        std::tm local{};
        const std::time_t t = std::time_t(hour);
        localtime_r(&t, &local);
        // Busy from nine to midnight, with a dip at lunch; quiet at night and a bit at weekends.
        const double daytime = local.tm_hour >= 9 ? (local.tm_hour == 13 ? 0.6 : 1.0) : local.tm_hour < 1 ? 0.5 : 0.04;
        const double weekday = local.tm_wday == 0 || local.tm_wday == 6 ? 0.7 : 1.0;
        for (int minute = 0; minute < 60 && hour + minute * 60 < now; minute += 5) {
            XLedger ledger;
            for (const Program& p : kPrograms) {
                // Updates come at night; the rest follow the day.
                const double pace = std::string(p.name) == "apt" ? (local.tm_hour == 3 ? 1.0 : 0.0) : daytime * weekday;
                const double bytes = p.megabytesAnHour * 1e6 / 12 * pace * (0.2 + 1.6 * unit(random));
                if (bytes < 1)
                    continue;
                for (std::size_t h = 0; h < p.hosts.size(); ++h) {
                    const double part = bytes * (h == 0 ? 0.5 : 0.5 / double(p.hosts.size()));
                    XLedgerRow row;
                    row.program = p.name;
                    row.path = p.path;
                    row.remoteAddress = addressOf(p.hosts[h], int(h));
                    row.protocol = std::string(p.name) == "systemd-resolved" ? 17 : 6;
                    row.remotePortClass = row.protocol == 17 ? 53 : 443;
                    row.dnsName = std::string(p.hosts[h]).rfind("10.", 0) == 0 ? "" : p.hosts[h];
                    row.bytes[0] = uint64_t(part * (1 - p.sentShare));
                    row.bytes[1] = uint64_t(part * p.sentShare);
                    row.packets[0] = row.bytes[0] / 1200 + 1;
                    row.packets[1] = row.bytes[1] / 400 + 1;
                    ledger.rows.push_back(row);
                }
            }
            clock.set(hour + minute * 60 + 30);
            recorder.add(ledger);
        }
        if (!recorder.flushAndWait(std::chrono::seconds(60))) {
            std::fprintf(stderr, "history_sample: a write failed\n");
            return 1;
        }
    }
    recorder.stop();
    std::printf("wrote %d days ending now into %s\n", days, path.c_str());
    return 0;
}
