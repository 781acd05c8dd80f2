#include "shell/OrvaneApp.h"

#include "config/ConfigStore.h"
#include "config/DataFileCheck.h"
#include "config/DataFileStore.h"
#include "config/TextUtil.h"
#include "corekit/XLog.h"
#include "platform/Processes.h"
#include "platform/TerminationSignals.h"
#include "shell/AppIcon.h"
#include "shell/InstanceChannel.h"
#include "shell/MainFrame.h"
#include "shell/WindowHistory.h"
#include "core/TrafficModel.h"
#include "views/LanguageSwitch.h"
#include "views/Skin.h"

#include "capengine/XEngine.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

namespace orvane {

using lumivex::config::ConfigStore;
using lumivex::config::DataFileStore;

namespace {

unsigned long elapsedMs(std::chrono::steady_clock::time_point since)
{
    return static_cast<unsigned long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count());
}

// Logs, once, how long the program took from its start to its first painted frame.
class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher(QObject* parent, std::chrono::steady_clock::time_point start) : QObject(parent), m_start(start) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            watched->removeEventFilter(this);
            const auto start = m_start;
            // Logged after the paint event has been handled and the frame flushed.
            QTimer::singleShot(0, [start] { XLog::debug(1, "first frame painted after (ms)", elapsedMs(start)); });
        }
        return false;
    }

private:
    std::chrono::steady_clock::time_point m_start;
    bool m_seen = false;
};

} // namespace

OrvaneApp::OrvaneApp(ShellOptions options, XEngine* engine)
    : m_options(std::move(options)), m_notices(m_options.notices ? m_options.notices : &m_messageBoxes), m_engine(engine)
{
}

OrvaneApp::~OrvaneApp()
{
    shutdown();
}

bool OrvaneApp::wantsHiddenStart(const QStringList& arguments)
{
    return arguments.indexOf(QStringLiteral("-h"), 1) > 0;
}

bool OrvaneApp::start()
{
    // The texts come first, in the language chosen: every message below is looked up in them.
    ConfigStore& store = ConfigStore::instance();
    showLanguage(lumivex::config::chosenLanguage(store));
    QApplication::setWindowIcon(appIcon());

    m_privileged = m_options.privileged ? m_options.privileged() : platform::isPrivileged();
    if (!m_privileged)
        m_notices->warn(skin::text("need_admin_user"));

    std::string lockError;
    m_lockPath = m_options.lockPath.empty() ? platform::instanceLockPath(kInstanceId, &lockError) : m_options.lockPath;
    switch (m_lockPath.empty() ? platform::InstanceLock::Result::Unavailable : m_lock.acquire(m_lockPath, &lockError)) {
    case platform::InstanceLock::Result::Acquired:
        break;
    case platform::InstanceLock::Result::HeldElsewhere:
        m_refused = true;
        InstanceChannel::askToShow(QString::fromStdString(m_lockPath));
        m_notices->refuse(skin::text("Lumivex_is_run"));
        return false;
    case platform::InstanceLock::Result::Unavailable:
        // Without a lock file nothing can tell a second copy apart; run rather than refuse.
        XLog::debug(1, "single-instance lock unavailable: ", lockError);
        m_lockPath.clear();
        break;
    }

    XLog::Instance();
    wireEngine();

    FrameOptions frameOptions;
    frameOptions.startHidden = wantsHiddenStart(m_options.arguments);
    frameOptions.autostart = m_options.autostart;
    frameOptions.trayAvailable = m_options.trayAvailable;
#ifdef ORVANE_HAVE_HISTORY
    frameOptions.history = m_history.get();
#endif
    m_frame = std::make_unique<MainFrame>(*m_engine, *m_model, std::move(frameOptions));
    m_frame->setWindowTitle(skin::text("Lumivex"));
    m_frame->installEventFilter(new FirstPaintWatcher(m_frame.get(), m_options.startedAt));
    QObject::connect(m_frame.get(), &MainFrame::exitConfirmed, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    watchTerminationSignals();
    if (!m_lockPath.empty()) {
        m_channel = std::make_unique<InstanceChannel>();
        if (m_channel->listen(QString::fromStdString(m_lockPath)))
            QObject::connect(m_channel.get(), &InstanceChannel::showRequested, m_frame.get(), [this] { m_frame->showFromTray(); });
        else
            XLog::debug(1, "a second copy cannot show this window: no local socket beside ", m_lockPath);
    }
    m_frame->showAtStart();
    reportUnusableDataFiles();
    return true;
}

void OrvaneApp::reportUnusableDataFiles()
{
    // Every window has read its files by now: what could not be used is named once.
    const std::vector<std::string> unusable =
        lumivex::config::unusableDataFiles(ConfigStore::instance(), DataFileStore::instance());
    if (unusable.empty())
        return;
    QString list;
    for (const std::string& sentence : unusable) {
        XLog::debug(1, "data file: ", sentence);
        list += QStringLiteral("\n") + QString::fromStdString(lumivex::config::visibleText(sentence));
    }
    m_notices->warn(skin::text("data_files_unusable") + QStringLiteral("\n") + list);
}

void OrvaneApp::wireEngine()
{
    DataFileStore::instance();  // loads the location and description files now
    if (m_engine == nullptr) {
        m_ownEngine = std::make_unique<XEngine>();
        m_engine = m_ownEngine.get();
        std::string why;
        if (!m_ownEngine->start(&why))
            XLog::debug(1, "capture engine not started: ", why);
        XLog::debug(1, "kernel event source: ", m_ownEngine->eventSource());
#ifdef ORVANE_HAVE_HISTORY
        // What the window counts goes into the lasting history too; a window given an engine
        // (a test's) records nothing.
        m_history = std::make_unique<WindowHistory>();
        m_history->start(*m_ownEngine);
#endif
    }
    m_model = std::make_unique<TrafficModel>(*m_engine);
}

void OrvaneApp::watchTerminationSignals()
{
    const int fd = platform::terminationSignalDescriptor();
    if (fd < 0)
        return;
    m_signals = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_signals.get(), &QSocketNotifier::activated, m_frame.get(), [this, fd] {
        platform::drainTerminationSignals(fd);
        XLog::debug(1, "termination requested");
        m_frame->requestExit();
    });
}

void OrvaneApp::shutdown()
{
    if (m_shutDown || m_refused)
        return;
    m_shutDown = true;
    const auto begin = std::chrono::steady_clock::now();
    m_signals.reset();
    m_channel.reset();
    m_frame.reset();  // the windows read the model: they go first
    if (m_ownEngine) {
        m_ownEngine->stop();  // stops and joins every engine thread
        XLog::debug(1, "engine stopped after (ms)", elapsedMs(begin));
#ifdef ORVANE_HAVE_HISTORY
        // Every way out (the menu's exit, SIGTERM, the session's end) writes what was counted.
        m_history->stop();
        m_history.reset();
        XLog::debug(1, "history written after (ms)", elapsedMs(begin));
#endif
    }
    m_model.reset();
    ConfigStore::release();  // writes user.ini
    DataFileStore::release();
    m_lock.release();
    if (m_ownEngine)
        XLog::debug(1, "shut down after (ms)", elapsedMs(begin));
}

} // namespace orvane
