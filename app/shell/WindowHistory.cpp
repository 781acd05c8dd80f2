#include "shell/WindowHistory.h"

#include "config/ConfigStore.h"
#include "config/DataFileStore.h"
#include "core/history/HistorySettings.h"
#include "corekit/XLog.h"
#include "platform/Clock.h"

#include "capengine/XEngine.h"
#include "history/HistoryRecording.h"

namespace orvane {

using lumivex::config::ConfigStore;
using lumivex::config::DataFileStore;

WindowHistory::WindowHistory()
{
    m_feed.setInterval(1000);
    QObject::connect(&m_feed, &QTimer::timeout, [this] {
        if (m_recording)
            m_recording->feed();
    });
}

WindowHistory::~WindowHistory()
{
    stop();
}

void WindowHistory::start(XEngine& engine)
{
    if (m_engine)
        return;
    m_engine = &engine;
    m_on = !HistorySettings::read(ConfigStore::instance()).off;
    if (!m_on) {
        XLog::debug(1, "history not recorded: recording is off");
        return;
    }
    startRecording();
}

bool WindowHistory::startRecording()
{
    const HistorySettings stored = HistorySettings::read(ConfigStore::instance());
    if (!stored.problems.empty())
        XLog::debug(1, "history settings in user.ini (defaults used instead): ", stored.problems);
    HistoryRecordingSettings settings;
    settings.path = stored.file;
    settings.retention = stored.retention;
    settings.hostsPerProgram = stored.hostsPerProgram;
    // Called on the recorder's thread; the location tables are read-only once loaded.
    settings.location = [](uint32_t address) {
        std::string text;
        DataFileStore::instance().lookupLocation(address, text);
        return text;
    };
    auto recording = std::make_unique<HistoryRecording>();
    std::string why;
    if (!recording->start(*m_engine, settings, &why)) {
        XLog::debug(1, "history not recorded: ", why);
        return false;
    }
    m_recording = std::move(recording);
    m_feed.start();
    return true;
}

void WindowHistory::stop()
{
    m_feed.stop();
    if (m_recording) {
        // The engine has stopped: one more sample collects what its last events counted.
        m_engine->sample(platform::tickCount());
        m_recording->stop();
        m_recording.reset();
    }
    m_engine = nullptr;
}

bool WindowHistory::recording() const
{
    return m_recording != nullptr;
}

HistoryControl::State WindowHistory::state() const
{
    if (!m_on)
        return State::Off;
    history::RecorderStats stats;
    if (!m_recording || !m_recording->stats(stats))
        return State::Failing;
    switch (stats.role) {
    case history::RecorderStats::Role::Writer: return State::Recording;
    case history::RecorderStats::Role::Reader: return State::OtherRecords;
    case history::RecorderStats::Role::Off: return State::Off;
    case history::RecorderStats::Role::Starting: return State::Starting;
    case history::RecorderStats::Role::Failing:
    case history::RecorderStats::Role::Refused: break;
    }
    return State::Failing;
}

void WindowHistory::setRecordingOn(bool on)
{
    m_on = on;
    if (m_recording)
        m_recording->setEnabled(on);
    else if (on && m_engine)
        startRecording();
    XLog::debug(1, on ? "history recording on" : "history recording off");
}

bool WindowHistory::forgetProgram(const std::string& name, const std::string& path, Done done)
{
    return m_recording && m_recording->forgetProgram(name, path, std::move(done));
}

bool WindowHistory::forgetHost(uint32_t address, Done done)
{
    return m_recording && m_recording->forgetHost(address, std::move(done));
}

bool WindowHistory::clearAll(Done done)
{
    return m_recording && m_recording->clearAll(std::move(done));
}

HistoryControl::Flusher WindowHistory::flusher()
{
    if (!m_recording || !m_on)
        return {};
    // The recording object lives until stop(), which runs after the window (and the page's
    // worker that calls this) is gone; its recorder was made before this function was.
    HistoryRecording* recording = m_recording.get();
    return [recording](std::chrono::milliseconds timeout) { return recording->flushAndWait(timeout); };
}

} // namespace orvane
