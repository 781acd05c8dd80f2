#pragma once

#include <chrono>
#include <functional>

class XEngine;
class MetricsPublisher;

// lumivex --service: samples the running engine once a second and hands each sample to the
// metrics endpoint (when there is one) and to the history recorder, printing nothing; log
// lines go to standard error, which systemd gives to the journal. Returns the exit status
// when sleepUntil reports a stop request (SIGTERM) or after seconds (> 0) samples.
//
// sleepUntil(deadline) sleeps until the deadline and returns false when asked to stop.
int runService(XEngine& engine, MetricsPublisher* metrics, bool privileged, int seconds,
               const std::function<bool(std::chrono::steady_clock::time_point)>& sleepUntil);
