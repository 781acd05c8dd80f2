// lumivex: the console front end. Runs the capture engine without windows and prints what it
// sees: the TCP, UDP and chat tables, per-program I/O and every drop counter.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "MetricsPublisher.h"
#include "Options.h"
#include "Report.h"
#include "ServiceMode.h"
#include "TerminalText.h"
#include "capengine/XEngine.h"
#include "config/DataFileStore.h"
#include "config/UiLanguage.h"
#include "corekit/XLog.h"
#include "platform/Clock.h"
#include "platform/CommandLine.h"
#include "platform/ExecutablePath.h"
#include "platform/Processes.h"
#include "platform/Terminal.h"
#ifdef LUMIVEX_HAVE_HISTORY
#include "HistoryCommand.h"
#include "HistoryStatusOf.h"
#include "history/HistoryRecording.h"
#endif
#include "platform/TerminationSignals.h"

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signals{0};
int g_consoleEvents = -1;  // Windows: the console's control events (see main)

// The first SIGINT or SIGTERM ends the run at the next step; a second one, should start-up or
// shut-down still be busy, ends the program at once.
void onSignal(int signal)
{
    g_interrupted.store(true);
    platform::signalWake();
    if (g_signals.fetch_add(1) >= 1)
        std::_Exit(128 + signal);
}

// Sleeps until the deadline or an interrupt, waking for nothing else.
void sleepUntil(std::chrono::steady_clock::time_point deadline)
{
    while (!g_interrupted.load()) {
        // Windows: the console's own events (its window closed) come through a pipe, and
        // their handler ends the sleep as a signal does.
        if (g_consoleEvents >= 0 && platform::drainTerminationSignals(g_consoleEvents) > 0) {
            g_interrupted.store(true);
            return;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        platform::sleepUntilSignalWake(int(left.count()) + 1);
    }
}

} // namespace

int main(int systemArgc, char** systemArgv)
{
    // The arguments as UTF-8, whatever code page the system handed them over in.
    std::vector<std::string> arguments = platform::commandLineArguments(systemArgc, systemArgv);
    std::vector<char*> argumentPointers;
    for (std::string& argument : arguments)
        argumentPointers.push_back(argument.data());
    argumentPointers.push_back(nullptr);
    const int argc = int(arguments.size());
    char** const argv = argumentPointers.data();
#ifdef LUMIVEX_HAVE_HISTORY
    // `lumivex history ...` reads the history database: no capture, no privileges.
    if (argc > 1 && argv[1] && std::string(argv[1]) == "history")
        return runHistoryCommand(argc - 1, argv + 1, stdout, stderr);
#endif
    // Before anything that may take long, so that an interrupt is never ignored.
    platform::prepareSignalWake();
#ifdef _WIN32
    // The console's control handler before the signal handlers: the system asks the later
    // ones first, so Ctrl-C and Ctrl-Break reach onSignal, and closing the console window,
    // which no signal covers, ends the run through this one.
    g_consoleEvents = platform::terminationSignalDescriptor();
#endif
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
#ifdef SIGBREAK
    std::signal(SIGBREAK, onSignal);
#endif
    const bool controlSequences = platform::prepareTerminalOutput();

    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "lumivex: %s\n%s", terminalSafe(error).c_str(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    XLog* log = XLog::Instance();
    if (!options.logFile.empty() && !(log->setLogFile(options.logFile) && XEngine::setLogFile(options.logFile)))
        std::fprintf(stderr, "lumivex: cannot open log file %s (it must be a regular file that can be written)\n",
                     terminalSafe(options.logFile).c_str());
    const bool privileged = platform::isPrivileged();
    if (!privileged)
        XLog::debug(1, privilegeAdvice(platform::executablePath()));
    // Listening comes first: a port in use ends the run before the engine starts.
    MetricsPublisher metrics;
    if (!options.metrics.empty()) {
        std::string why;
        if (!metrics.start(options.metrics, options.metricsHosts, why)) {
            std::fprintf(stderr, "lumivex: %s\n", terminalSafe(why).c_str());
            return 1;
        }
    }

    XEngine engine;
    // The live view reprints the per-program disk totals every second; one report at the
    // end needs them only then, and the service's counters and history take totals, which
    // the slower sampling keeps whole (ended processes' bytes come from the kernel).
    engine.setDiskRatesNeeded(options.seconds == 0 && !options.service);
    std::string why;
    if (!engine.start(&why)) {
        std::fprintf(stderr, "lumivex: cannot start the engine: %s\n", terminalSafe(why).c_str());
        return 1;
    }
    lumivex::config::DataFileStore& places = lumivex::config::DataFileStore::instance();
    for (const std::string& problem : places.report().skipped)
        XLog::debug(1, terminalSafe(problem));
    if (!places.report().databaseFound)
        XLog::debug(1, "no location database in ", terminalSafe(places.dataDir()));
    // Location names in the language of the locale, as the window shows them.
    const lumivex::config::Language language = lumivex::config::languageOfEnvironment();
    const LocationLookup location = [&places, language](uint32_t address) {
        std::string text;
        places.lookupLocation(address, text, language);
        return text;
    };

#ifdef LUMIVEX_HAVE_HISTORY
    // What the run counts goes into the lasting history as well, written on a thread of its
    // own; every way the run ends writes what is left.
    HistoryRecording recording;
    HistoryRecordingSettings historySettings;
    historySettings.path = options.historyFile;
    historySettings.enabled = !options.noHistory;
    historySettings.flushInterval = std::chrono::seconds(options.historyFlushSeconds);
    historySettings.retention = options.historyKeep;
    historySettings.hostsPerProgram = options.historyHosts;
    historySettings.location = location;
    std::string notRecorded;
    if (!recording.start(engine, historySettings, &notRecorded))
        XLog::debug(1, "history not recorded: ", notRecorded);
#endif

    if (options.service) {
        HistoryRecording* history = nullptr;
#ifdef LUMIVEX_HAVE_HISTORY
        history = &recording;
#endif
        const int status = runService(engine, &metrics, history, privileged, options.seconds, [](auto deadline) {
            sleepUntil(deadline);
            return !g_interrupted.load();
        });
        metrics.stop();
        engine.stop();
#ifdef LUMIVEX_HAVE_HISTORY
        // SIGTERM included: the last sample's counts and everything not yet written.
        engine.sample(platform::tickCount());
        recording.stop();
#endif
        lumivex::config::DataFileStore::release();
        return status;
    }

    const auto started = std::chrono::steady_clock::now();
    auto next = started;
    for (int tick = 1;; ++tick) {
        next += std::chrono::seconds(1);
        sleepUntil(next);
        engine.sample(platform::tickCount());
#ifdef LUMIVEX_HAVE_HISTORY
        recording.feed();
#endif

        // An interrupt ends the run with a report of what it saw, however early it came.
        const bool last = g_interrupted.load() || (options.seconds > 0 && tick >= options.seconds);
        const bool print = options.seconds == 0 || last;
        if (print || metrics.running()) {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            Report report = readReport(engine, elapsed, privileged, location);
#ifdef LUMIVEX_HAVE_HISTORY
            report.history = historyStatusOf(recording);
#endif
            metrics.publish(report);
            if (print && options.json) {
                printReportJson(stdout, report);
            } else if (print && options.csv) {
                printReportCsv(stdout, report);
            } else if (print) {
                if (options.seconds == 0) {
                    // The live view: redrawn in place, fitted to the terminal, counters compact.
                    report.compact = true;
                    if (!platform::outputTerminalSize(report.columns, report.lines))
                        report.rowsPerTable = 20;
                    // Home and clear; a console that shows control sequences as text gets
                    // the report below the previous one.
                    std::fputs(controlSequences ? "\033[H\033[2J" : "\n", stdout);
                }
                printReportText(stdout, report);
            }
        }
        if (last)
            break;
    }
    metrics.stop();
    engine.stop();
#ifdef LUMIVEX_HAVE_HISTORY
    // One more sample collects what the last events counted; the recording writes it all.
    engine.sample(platform::tickCount());
    recording.stop();
#endif
    lumivex::config::DataFileStore::release();
    return 0;
}
