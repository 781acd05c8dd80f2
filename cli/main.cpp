// lumivex: the console front end. Runs the capture engine without windows and prints what it
// sees: the TCP, UDP and chat tables, per-program I/O and every drop counter.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "Options.h"
#include "Report.h"
#include "capengine/XEngine.h"
#include "config/DataFileStore.h"
#include "corekit/XLog.h"
#include "platform/Clock.h"
#include "platform/Processes.h"

namespace {

std::atomic<bool> g_interrupted{false};

void onSignal(int)
{
    g_interrupted.store(true);
}

// Sleeps until the deadline or an interrupt.
void sleepUntil(std::chrono::steady_clock::time_point deadline)
{
    while (!g_interrupted.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "lumivex: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    XLog* log = XLog::Instance();
    if (!options.logFile.empty() && !(log->setLogFile(options.logFile) && XEngine::setLogFile(options.logFile)))
        std::fprintf(stderr, "lumivex: cannot open log file %s\n", options.logFile.c_str());
    const bool privileged = platform::isPrivileged();
    if (!privileged)
        XLog::debug(1, "not privileged: packet capture and raw sockets need root or the capabilities "
                       "CAP_NET_RAW, CAP_DAC_READ_SEARCH and CAP_SYS_PTRACE");

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    XEngine engine;
    std::string why;
    if (!engine.start(&why)) {
        std::fprintf(stderr, "lumivex: cannot start the engine: %s\n", why.c_str());
        return 1;
    }
    lumivex::config::DataFileStore& places = lumivex::config::DataFileStore::instance();
    if (!places.report().databaseFound)
        XLog::debug(1, "no location database in ", places.dataDir());
    const LocationLookup location = [&places](uint32_t address) {
        std::string text;
        places.lookupLocation(address, text);
        return text;
    };

    const auto started = std::chrono::steady_clock::now();
    auto next = started;
    for (int tick = 1; !g_interrupted.load(); ++tick) {
        next += std::chrono::seconds(1);
        sleepUntil(next);
        engine.sample(platform::tickCount());

        const bool last = options.seconds > 0 && tick >= options.seconds;
        if (options.seconds == 0 || last || g_interrupted.load()) {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            Report report = readReport(engine, elapsed, privileged, location);
            if (options.json) {
                printReportJson(stdout, report);
            } else {
                report.rowsPerTable = options.seconds == 0 ? 20 : 0;
                if (options.seconds == 0)
                    std::fputs("\033[H\033[2J", stdout);  // live view: redraw in place
                printReportText(stdout, report);
            }
        }
        if (last)
            break;
    }
    engine.stop();
    lumivex::config::DataFileStore::release();
    return 0;
}
