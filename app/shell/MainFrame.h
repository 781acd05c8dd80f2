#pragma once

#include "config/UiLanguage.h"
#include "shell/AutostartEntry.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <functional>
#include <optional>

class QSystemTrayIcon;
class XEngine;

namespace orvane {

class FloatWindow;
class FrameChrome;
class HistoryControl;
class MainView;
class ProgramMenu;
class TrafficModel;

// What the frame takes from its surroundings; tests replace parts of it.
struct FrameOptions {
    bool startHidden = false;            // " -h": start in the tray
    AutostartEntry autostart;            // the login entry
    std::function<bool()> trayAvailable;  // empty: ask the desktop
    HistoryControl* history = nullptr;    // the window's recording of history; null: none
};

// The main window: a frameless, skinned frame with two border rings holding the main view
// (its resizing and moving are the chrome's). It owns the tray icon, the program menu, the
// floating strip and the user switches, hides to the tray on close and minimise, and ends
// the program only through Exit (or a termination request).
class MainFrame : public QWidget {
    Q_OBJECT
public:
    enum class State { Maximized = 1, Normal = 2, InTray = 3, Shown = 4 };
    static constexpr QSize kInitialSize{960, 680};
    static constexpr int kOuterBorder = 1;
    static constexpr int kInnerBorder = 3;
    static constexpr int kBorder = kOuterBorder + kInnerBorder;

    MainFrame(XEngine& engine, TrafficModel& model, FrameOptions options, QWidget* parent = nullptr);
    ~MainFrame() override;

    MainView* view() const { return m_view; }
    ProgramMenu* menu() const { return m_menu; }
    FloatWindow* floatingWindow() const { return m_floating; }
    FrameChrome* chrome() const { return m_chrome; }
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    State state() const { return m_state; }
    bool maximized() const { return m_maximized; }
    bool exitRequested() const { return m_exitRequested; }
    QColor outerBorderColor() const { return m_outer; }
    QColor innerBorderColor() const { return m_inner; }

    // Shows the window at start-up, or leaves it in the tray for a hidden start.
    void showAtStart();

public slots:
    // Close and minimise: into the tray, or to the taskbar when the desktop has no tray.
    void hideToTray();
    // Back from the tray (or the taskbar); the view re-shows its page.
    void showFromTray(bool fromFloating = false);
    void maximize();
    void restore();
    // The Exit command and termination signals: the program ends.
    void requestExit();
    void popupMenu(QPoint global);
    // The language chosen in the menu (none: the system's), kept in user.ini and shown at once.
    void setLanguageChoice(std::optional<lumivex::config::Language> choice);
    // The menu's history switch: kept in user.ini, and the recording follows at once.
    void setHistoryRecordingOn(bool on);
    // "Export CSV": the list on show (MainView::listOnShow) into a file the user names; the
    // history page exports its own table. exportListTo writes path without asking; false
    // with nothing written when no list is on show or the file cannot be written.
    void exportList();
    bool exportListTo(const QString& path, QString* error = nullptr);

signals:
    // The window has closed for good; the program's exit sequence runs next.
    void exitConfirmed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createTray();
    void loadSwitches();
    void connectTitleBar();
    void connectMenu();
    void onTrayActivated(int reason);
    void setFloatingOn(bool on);
    void setAutoRefreshOn(bool on);
    void setAutostartOn(bool on);
    void refreshAutostartItem();
    void retranslate();
    bool trayAvailable() const;

    FrameOptions m_options;
    MainView* m_view = nullptr;
    FrameChrome* m_chrome = nullptr;
    ProgramMenu* m_menu = nullptr;
    FloatWindow* m_floating = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QColor m_outer;
    QColor m_inner;
    State m_state = State::Normal;
    bool m_maximized = false;
    bool m_startedHidden = false;
    bool m_minimizedAway = false;  // minimised instead of hidden: no tray
    bool m_exitRequested = false;
    bool m_noTrayLogged = false;
    QRect m_normalGeometry;
};

} // namespace orvane
