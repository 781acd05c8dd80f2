#include "shell/MainFrame.h"

#include "config/ConfigStore.h"
#include "corekit/XLog.h"
#include "shell/AppIcon.h"
#include "shell/FrameChrome.h"
#include "shell/MainView.h"
#include "shell/ProgramMenu.h"
#include "views/lists/ListCsv.h"
#include "views/lists/SkinTableView.h"
#ifdef ORVANE_HAVE_HISTORY
#include "core/history/HistoryControl.h"
#include "core/history/HistorySettings.h"
#include "monitor/history/HistoryPage.h"
#endif
#include "views/LanguageSwitch.h"
#include "views/floating/FloatWindow.h"
#include "views/Skin.h"
#include "views/TitleBar.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>

namespace orvane {

using lumivex::config::ConfigStore;
using lumivex::config::Language;

namespace {

// The switches' keys as user.ini stores them (the spelling is on disk: keep it).
constexpr const char* kAutoRefreshKey = "menu_updatelist_status";
constexpr const char* kFloatingKey = "memu_float_staus";
constexpr QSize kMinimumSize(560, 400);
constexpr int kTipLength = 64;

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

QRect workArea(const QWidget& widget)
{
    const QScreen* screen = widget.screen() ? widget.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(QPoint(0, 0), MainFrame::kInitialSize);
}

} // namespace

MainFrame::MainFrame(XEngine& engine, TrafficModel& model, FrameOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_options(std::move(options))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(skin::text("Lumivex"));
    setWindowIcon(appIcon());
    setMinimumSize(kMinimumSize);
    m_outer = skin::color("c_frmborder");
    m_inner = skin::color("c_frmborderc");

    m_chrome = new FrameChrome(*this, kBorder);
    m_menu = new ProgramMenu(this);
    m_view = new MainView(engine, model, this, m_options.history);
    m_floating = new FloatWindow(m_view->ticks());
    createTray();
    loadSwitches();
    connectTitleBar();
    connectMenu();
    connect(m_floating, &FloatWindow::menuRequested, this, &MainFrame::popupMenu);
    connect(m_floating, &FloatWindow::showMainRequested, this, [this] { showFromTray(true); });
    connect(m_floating, &FloatWindow::shownChanged, m_view, &MainView::setFloatingShown);

    const QRect area = workArea(*this);
    resize(kInitialSize.boundedTo(area.size()));
    move(area.center() - rect().center());
    m_normalGeometry = geometry();
}

MainFrame::~MainFrame()
{
    delete m_floating;
}

void MainFrame::createTray()
{
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    retranslate();
    m_tray->setContextMenu(m_menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        onTrayActivated(int(reason));
    });
    m_tray->show();
}

void MainFrame::retranslate()
{
    setWindowTitle(skin::text("Lumivex"));
    if (!m_tray)
        return;
    char tip[kTipLength] = "Lumivex";
    ConfigStore::instance().copyText("titlename", tip, sizeof tip);
    m_tray->setToolTip(QString::fromUtf8(tip));
}

void MainFrame::loadSwitches()
{
    const ConfigStore& store = ConfigStore::instance();
    m_menu->showLanguageChoice(lumivex::config::languageOfSetting(store.getUserValue(lumivex::config::kLanguageKey)));
    const bool autoRefresh = store.getUserFlag(kAutoRefreshKey);
    const bool floating = store.getUserFlag(kFloatingKey);
    m_menu->floating()->setChecked(floating);
    m_floating->setAllowed(floating);
    m_menu->autoRefresh()->setChecked(autoRefresh);
    m_view->setAutoRefresh(autoRefresh);
#ifdef ORVANE_HAVE_HISTORY
    m_menu->historyRecord()->setChecked(!store.getUserFlag(HistorySettings::kOffKey));
#endif
    refreshAutostartItem();
}

void MainFrame::refreshAutostartItem()
{
    m_menu->autostart()->setChecked(m_options.autostart.isOn());
    m_menu->autostart()->setEnabled(m_options.autostart.canWrite());
}

void MainFrame::connectTitleBar()
{
    TitleBar* bar = m_view->titleBar();
    connect(bar, &TitleBar::closeRequested, this, &MainFrame::hideToTray);
    connect(bar, &TitleBar::minimizeRequested, this, &MainFrame::hideToTray);
    connect(bar, &TitleBar::maximizeRequested, this, &MainFrame::maximize);
    connect(bar, &TitleBar::restoreRequested, this, &MainFrame::restore);
    connect(bar, &TitleBar::menuRequested, this, &MainFrame::popupMenu);
    connect(bar, &TitleBar::dragStarted, m_chrome, &FrameChrome::beginDrag);
    connect(bar, &TitleBar::dragMoved, m_chrome, &FrameChrome::dragTo);
    connect(bar, &TitleBar::dragEnded, this, [this] {
        m_chrome->endDrag();
        m_view->update();
    });
}

void MainFrame::connectMenu()
{
    connect(m_menu, &QMenu::aboutToShow, this, &MainFrame::refreshAutostartItem);
    connect(m_menu->showMain(), &QAction::triggered, this, [this] { showFromTray(false); });
    connect(m_menu->floating(), &QAction::toggled, this, &MainFrame::setFloatingOn);
    connect(m_menu->autoRefresh(), &QAction::toggled, this, &MainFrame::setAutoRefreshOn);
    connect(m_menu->autostart(), &QAction::triggered, this, &MainFrame::setAutostartOn);
    connect(m_menu->exit(), &QAction::triggered, this, &MainFrame::requestExit);
    connect(m_menu, &ProgramMenu::languageChosen, this, &MainFrame::setLanguageChoice);
    connect(m_menu->exportCsv(), &QAction::triggered, this, &MainFrame::exportList);
    connect(m_menu->historyRecord(), &QAction::toggled, this, &MainFrame::setHistoryRecordingOn);
#ifdef ORVANE_HAVE_HISTORY
    connect(m_menu->historyClear(), &QAction::triggered, this, [this] { m_view->historyPage()->clearAll(); });
#endif
    // Export needs a list on show.
    connect(m_menu, &QMenu::aboutToShow, this, [this] { m_menu->exportCsv()->setEnabled(m_view->listOnShow() != nullptr); });
}

void MainFrame::setHistoryRecordingOn([[maybe_unused]] bool on)
{
#ifdef ORVANE_HAVE_HISTORY
    ConfigStore::instance().setUserValue(HistorySettings::kOffKey, on ? "0" : "1");
    if (m_options.history)
        m_options.history->setRecordingOn(on);
    m_view->historyPage()->refreshStatus();
#endif
}

void MainFrame::exportList()
{
#ifdef ORVANE_HAVE_HISTORY
    if (m_view->state().current == Page::History) {
        m_view->historyPage()->exportCsv(HistoryPage::Export::MainTable);
        return;
    }
#endif
    if (!m_view->listOnShow())
        return;
    const QString path = QFileDialog::getSaveFileName(this, skin::text("menu_export_csv"),
                                                      QDir::home().filePath(QStringLiteral("lumivex-list.csv")),
                                                      QStringLiteral("CSV (*.csv)"));
    QString error;
    if (!path.isEmpty() && !exportListTo(path, &error))
        QMessageBox::warning(this, skin::text("Lumivex"), skin::text("export_failed").arg(QDir::toNativeSeparators(path), error));
}

bool MainFrame::exportListTo(const QString& path, QString* error)
{
    const SkinTableView* list = m_view->listOnShow();
    if (!list || !list->model())
        return false;
    const std::string text = listCsv(*list->model());
    // Written beside the file and renamed over it: an old file is never left half written.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text.data(), qint64(text.size())) == qint64(text.size()) &&
        file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool MainFrame::trayAvailable() const
{
    return m_options.trayAvailable ? m_options.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void MainFrame::showAtStart()
{
    if (!m_options.startHidden) {
        show();
        return;
    }
    m_startedHidden = true;
    m_state = State::InTray;
    m_view->setShown(false, true);
    if (trayAvailable()) {
        m_floating->showIfAllowed();
    } else {
        // Without a tray a hidden window could never be found again: start minimised.
        m_minimizedAway = true;
        showMinimized();
        m_floating->showIfAllowed();
    }
}

void MainFrame::hideToTray()
{
    if (trayAvailable()) {
        hide();
    } else {
        // Hidden without a tray the window could not be found again.
        if (!m_noTrayLogged)
            XLog::debug(1, "no system tray: the window is minimised instead of hidden");
        m_noTrayLogged = true;
        m_minimizedAway = true;
        showMinimized();
    }
    m_state = State::InTray;
    m_floating->showIfAllowed();
    m_view->setShown(false, true);
}

void MainFrame::showFromTray(bool fromFloating)
{
    if (m_startedHidden) {
        m_startedHidden = false;
        setGeometry(m_normalGeometry);
    }
    m_minimizedAway = false;
    if (isMinimized())
        showNormal();
    else
        show();
    m_state = State::Shown;
    raise();
    activateWindow();
    m_floating->hide();
    m_view->setShown(true, true);
    m_view->reshowCurrentPage(fromFloating);
}

void MainFrame::onTrayActivated(int reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (m_state == State::InTray)
        showFromTray(false);
    else
        hideToTray();
}

void MainFrame::maximize()
{
    if (m_maximized)
        return;
    m_normalGeometry = geometry();
    m_maximized = true;
    m_chrome->setMaximized(true);
    m_state = State::Maximized;
    m_floating->hide();
    m_view->titleBar()->setFrameMaximized(true);
    if (onWayland())
        showMaximized();
    else
        setGeometry(workArea(*this));  // the work area: panels and docks stay visible
}

void MainFrame::restore()
{
    if (!m_maximized)
        return;
    m_maximized = false;
    m_chrome->setMaximized(false);
    m_state = State::Normal;
    m_floating->hide();
    m_view->titleBar()->setFrameMaximized(false);
    if (onWayland())
        showNormal();
    else
        setGeometry(m_normalGeometry);
}

void MainFrame::requestExit()
{
    m_exitRequested = true;
    close();
}

void MainFrame::popupMenu(QPoint global)
{
    activateWindow();
    m_menu->popup(global);
}

void MainFrame::setFloatingOn(bool on)
{
    m_floating->setAllowed(on);
    if (on && m_state == State::InTray)
        m_floating->showIfAllowed();
    ConfigStore::instance().setUserValue(kFloatingKey, on ? "1" : "0");
}

void MainFrame::setAutoRefreshOn(bool on)
{
    m_view->setAutoRefresh(on);
    ConfigStore::instance().setUserValue(kAutoRefreshKey, on ? "1" : "0");
}

void MainFrame::setAutostartOn(bool on)
{
    if (!on)
        m_options.autostart.remove();
    else if (!m_options.autostart.isOn())
        m_options.autostart.write();
    m_menu->autostart()->setChecked(m_options.autostart.isOn());
}

void MainFrame::setLanguageChoice(std::optional<Language> choice)
{
    ConfigStore& store = ConfigStore::instance();
    store.setUserValue(lumivex::config::kLanguageKey, choice ? lumivex::config::settingOfLanguage(*choice) : "auto");
    m_menu->showLanguageChoice(choice);
    showLanguage(lumivex::config::chosenLanguage(store));
}

void MainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_exitRequested) {
        event->ignore();
        hideToTray();
        return;
    }
    m_floating->close();
    if (m_tray)
        m_tray->hide();
    event->accept();
    emit exitConfirmed();
}

void MainFrame::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    if (event->type() != QEvent::WindowStateChange || !m_minimizedAway || isMinimized())
        return;
    // Restored from the taskbar after the close button minimised it (no tray).
    m_minimizedAway = false;
    m_state = State::Shown;
    m_floating->hide();
    m_view->setShown(true, true);
    m_view->reshowCurrentPage(false);
}

void MainFrame::resizeEvent(QResizeEvent*)
{
    m_view->setGeometry(rect().adjusted(kBorder, kBorder, -kBorder, -kBorder));
}

void MainFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect all = rect();
    auto ring = [&painter](const QRect& r, int thickness, const QColor& color) {
        painter.fillRect(QRect(r.left(), r.top(), thickness, r.height()), color);
        painter.fillRect(QRect(r.right() - thickness + 1, r.top(), thickness, r.height()), color);
        painter.fillRect(QRect(r.left() + thickness, r.top(), r.width() - 2 * thickness, thickness), color);
        painter.fillRect(QRect(r.left() + thickness, r.bottom() - thickness + 1, r.width() - 2 * thickness, thickness), color);
    };
    ring(all, kOuterBorder, m_outer);
    ring(all.adjusted(kOuterBorder, kOuterBorder, -kOuterBorder, -kOuterBorder), kInnerBorder, m_inner);
}

} // namespace orvane
