#include "HistoryRecording.h"

#include "capengine/XEngine.h"
#include "corekit/XLog.h"
#include "history/HistoryPath.h"
#include "history/Recorder.h"

HistoryRecording::HistoryRecording() = default;

HistoryRecording::~HistoryRecording()
{
    stop();
}

bool HistoryRecording::start(XEngine& engine, const HistoryRecordingSettings& settings, std::string* why)
{
    const auto refuse = [why](const std::string& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (m_recorder)
        return refuse("already recording");
    if (!settings.enabled)
        return refuse("recording is off");
    history::RecorderOptions options;
    options.path = history::historyPath(settings.path);
    if (options.path.empty())
        return refuse("no place for the history database: give --history FILE, or set HOME");
    options.flushInterval = settings.flushInterval;
    options.location = settings.location;
    m_engine = &engine;
    // The engine keeps its ledger from this call on; what came before was not recorded.
    XLedger opening;
    engine.takeLedger(opening);
    m_recorder = std::make_unique<history::Recorder>(std::move(options));
    m_recorder->start();
    return true;
}

void HistoryRecording::feed()
{
    if (!m_recorder)
        return;
    XLedger ledger;
    if (m_engine->takeLedger(ledger))
        m_recorder->add(ledger);
}

void HistoryRecording::stop()
{
    if (!m_recorder)
        return;
    feed();
    m_recorder->stop();
    const history::RecorderStats s = m_recorder->stats();
    std::string line;
    s.forEach([&line](const char* name, uint64_t value, history::RecorderStats::Kind) {
        if (value != 0)
            line += std::string(line.empty() ? "" : ", ") + name + " " + std::to_string(value);
    });
    XLog::debug(1, "history stopped (" + std::string(history::roleName(s.role)) + ", " + s.path + "): ",
                line.empty() ? std::string("nothing recorded") : line);
    m_recorder.reset();
}

HistoryStatus HistoryRecording::status() const
{
    HistoryStatus status;
    if (!m_recorder)
        return status;
    const history::RecorderStats s = m_recorder->stats();
    status.role = history::roleName(s.role);
    status.path = s.path;
    status.lastError = s.lastError;
#define HISTORY_STATUS_COUNTER(field, name, kind, meaning) \
    status.counters.push_back({name, s.field, history::RecorderStats::kind == history::RecorderStats::kDrop, meaning});
    HISTORY_COUNTERS(HISTORY_STATUS_COUNTER)
#undef HISTORY_STATUS_COUNTER
    return status;
}
