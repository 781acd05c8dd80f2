#include "ServiceMode.h"

#include "MetricsPublisher.h"
#include "Report.h"
#include "TerminalText.h"
#include "capengine/XEngine.h"
#include "corekit/XLog.h"
#include "platform/Clock.h"

int runService(XEngine& engine, MetricsPublisher* metrics, bool privileged, int seconds,
               const std::function<bool(std::chrono::steady_clock::time_point)>& sleepUntil)
{
    XLog::debug(1, "service: started, event source " + terminalSafe(engine.eventSource()) +
                       (metrics && metrics->running() ? ", metrics on http://" + metrics->where() + "/metrics" : ""));

    // HISTORY RECORDING: the service records to the history library's default path, which is
    // $STATE_DIRECTORY/history.sqlite under systemd. The console's recording is started here
    // (one call with the path) and stopped with a last flush after the loop.

    const auto started = std::chrono::steady_clock::now();
    auto next = started;
    for (int tick = 1;; ++tick) {
        next += std::chrono::seconds(1);
        const bool stop = !sleepUntil(next);
        engine.sample(platform::tickCount());
        if (metrics && metrics->running()) {
            // No location column: nothing here shows it.
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            metrics->publish(readReport(engine, elapsed, privileged, LocationLookup()));
        }
        if (stop || (seconds > 0 && tick >= seconds))
            break;
    }
    XLog::debug(1, "service: stopping");
    return 0;
}
