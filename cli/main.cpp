// lumivex: the console front end. Runs the engine without windows and prints what it sees.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "EventPump.h"
#include "Options.h"
#include "ProcessTotals.h"
#include "Report.h"
#include "corekit/XLog.h"
#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/Processes.h"

namespace {

std::atomic<bool> g_interrupted{false};

void onSignal(int)
{
    g_interrupted.store(true);
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
    if (!options.logFile.empty() && !log->setLogFile(options.logFile))
        std::fprintf(stderr, "lumivex: cannot open log file %s\n", options.logFile.c_str());

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    XPCProcessInfo* info = XPCProcessInfo::Instance();
    if (!info) {
        std::fprintf(stderr, "lumivex: cannot start the engine\n");
        return 1;
    }
    EventPump pump(*info, info->trace() ? info->trace()->ring() : nullptr);
    pump.start();

    ProcessTotals totals;
    IoTriple triples[100];
    const auto started = std::chrono::steady_clock::now();
    int tick = 0;
    auto next = started;
    while (!g_interrupted.load()) {
        next += std::chrono::seconds(1);
        while (!g_interrupted.load() && std::chrono::steady_clock::now() < next)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ++tick;
        if (tick % 2 == 0)
            info->reload();
        totals.addNet(triples, info->getNetIO(triples, 100));
        totals.addDisk(triples, info->getDiskIO(triples, 100));

        const bool last = options.seconds > 0 && tick >= options.seconds;
        if (options.seconds == 0 || last || g_interrupted.load()) {
            Report report;
            report.elapsedSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            report.privileged = platform::isPrivileged();
            report.processes = totals.rows();
            if (info->trace())
                report.io = info->trace()->stats();
            report.processTotalsDropped = info->netDropped();
            if (options.json)
                printReportJson(stdout, report);
            else
                printReportText(stdout, report);
        }
        if (last)
            break;
    }

    pump.stop();
    info->closeInfo();
    return 0;
}
