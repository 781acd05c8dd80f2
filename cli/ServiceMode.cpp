#include "ServiceMode.h"

#include "MetricsPublisher.h"
#ifdef LUMIVEX_HAVE_HISTORY
#include "HistoryStatusOf.h"
#include "history/HistoryRecording.h"
#endif
#include "Report.h"
#include "TerminalText.h"
#include "capengine/XEngine.h"
#include "corekit/XLog.h"
#include "platform/Clock.h"

int runService(XEngine& engine, MetricsPublisher* metrics, HistoryRecording* history, bool privileged, int seconds,
               const std::function<bool(std::chrono::steady_clock::time_point)>& sleepUntil)
{
    XLog::debug(1, "service: started, event source " + terminalSafe(engine.eventSource()) +
                       (metrics && metrics->running() ? ", metrics on http://" + metrics->where() + "/metrics" : ""));

#ifdef LUMIVEX_HAVE_HISTORY
    if (history && history->active())
        XLog::debug(1, "service: recording history in " + terminalSafe(historyStatusOf(*history).path));
#endif

    const auto started = std::chrono::steady_clock::now();
    auto next = started;
    for (int tick = 1;; ++tick) {
        next += std::chrono::seconds(1);
        const bool stop = !sleepUntil(next);
        engine.sample(platform::tickCount());
#ifdef LUMIVEX_HAVE_HISTORY
        if (history)
            history->feed();
#else
        (void)history;
#endif
        if (metrics && metrics->running()) {
            // No location column: nothing here shows it.
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            Report report = readReport(engine, elapsed, privileged, LocationLookup());
#ifdef LUMIVEX_HAVE_HISTORY
            if (history)
                report.history = historyStatusOf(*history);
#endif
            metrics->publish(report);
        }
        if (stop || (seconds > 0 && tick >= seconds))
            break;
    }
    XLog::debug(1, "service: stopping");
    return 0;
}
