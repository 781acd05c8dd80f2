#include "shell/WindowHistory.h"

#include "config/ConfigStore.h"
#include "config/DataFileStore.h"
#include "corekit/XLog.h"
#include "platform/Clock.h"

#include "capengine/XEngine.h"
#include "history/HistoryRecording.h"

#include <cstring>

namespace orvane {

using lumivex::config::ConfigStore;
using lumivex::config::DataFileStore;

WindowHistory::WindowHistory() = default;

WindowHistory::~WindowHistory()
{
    stop();
}

void WindowHistory::start(XEngine& engine)
{
    if (m_recording)
        return;
    const ConfigStore& store = ConfigStore::instance();
    HistoryRecordingSettings settings;
    // An absent entry reads back as its own key.
    const char* file = store.getUserValue(kFileKey);
    settings.path = file && std::strcmp(file, kFileKey) != 0 ? file : "";
    settings.enabled = !store.getUserFlag(kOffKey);
    // Called on the recorder's thread; the location tables are read-only once loaded.
    settings.location = [](uint32_t address) {
        std::string text;
        DataFileStore::instance().lookupLocation(address, text);
        return text;
    };
    m_recording = std::make_unique<HistoryRecording>();
    std::string why;
    if (!m_recording->start(engine, settings, &why)) {
        XLog::debug(1, "history not recorded: ", why);
        m_recording.reset();
        return;
    }
    m_engine = &engine;
    m_feed.setInterval(1000);
    QObject::connect(&m_feed, &QTimer::timeout, [this] { m_recording->feed(); });
    m_feed.start();
}

void WindowHistory::stop()
{
    if (!m_recording)
        return;
    m_feed.stop();
    // The engine has stopped: one more sample collects what its last events counted.
    m_engine->sample(platform::tickCount());
    m_recording->stop();
    m_recording.reset();
    m_engine = nullptr;
}

bool WindowHistory::recording() const
{
    return m_recording != nullptr;
}

} // namespace orvane
