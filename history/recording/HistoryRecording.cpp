#include "history/HistoryRecording.h"

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
        return refuse("no place for the history database: no file given and no HOME");
    options.flushInterval = settings.flushInterval;
    options.location = settings.location;
    options.retention = settings.retention;
    options.hostsPerProgram = settings.hostsPerProgram > 0 ? settings.hostsPerProgram : 1;
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

bool HistoryRecording::stats(history::RecorderStats& out) const
{
    if (!m_recorder)
        return false;
    out = m_recorder->stats();
    return true;
}

void HistoryRecording::setEnabled(bool enabled)
{
    if (m_recorder)
        m_recorder->setEnabled(enabled);
}

bool HistoryRecording::forgetProgram(const std::string& name, const std::string& path, Done done)
{
    if (!m_recorder)
        return false;
    m_recorder->forgetProgram(name, path, std::move(done));
    return true;
}

bool HistoryRecording::forgetHost(uint32_t address, Done done)
{
    if (!m_recorder)
        return false;
    m_recorder->forgetHost(address, std::move(done));
    return true;
}

bool HistoryRecording::clearAll(Done done)
{
    if (!m_recorder)
        return false;
    m_recorder->clearAll(std::move(done));
    return true;
}

bool HistoryRecording::flushAndWait(std::chrono::milliseconds timeout)
{
    return m_recorder && m_recorder->flushAndWait(timeout);
}
