#pragma once

#include <chrono>
#include <functional>

class XEngine;
class MetricsPublisher;
class HistoryRecording;

// lumivex --service: samples the running engine once a second and hands each sample to the
// metrics endpoint and to the history recording (each when there is one, started by the
// caller, which also stops them), printing nothing; log
// lines go to standard error, which systemd gives to the journal. Returns the exit status
// when sleepUntil reports a stop request (SIGTERM) or after seconds (> 0) samples.
//
// sleepUntil(deadline) sleeps until the deadline and returns false when asked to stop.
int runService(XEngine& engine, MetricsPublisher* metrics, HistoryRecording* history, bool privileged, int seconds,
               const std::function<bool(std::chrono::steady_clock::time_point)>& sleepUntil);
