#pragma once

#include <QMenu>

namespace orvane {

// The program's pop-up menu, opened from the tray icon, the floating strip and the title
// bar: show the window, the three switches (floating strip, automatic list refresh, start
// at login) and exit. The frame reacts to the actions' signals.
class ProgramMenu : public QMenu {
    Q_OBJECT
public:
    explicit ProgramMenu(QWidget* parent = nullptr);

    QAction* showMain() const { return m_showMain; }
    QAction* floating() const { return m_floating; }
    QAction* autoRefresh() const { return m_autoRefresh; }
    QAction* autostart() const { return m_autostart; }
    QAction* exit() const { return m_exit; }

private:
    QAction* m_showMain;
    QAction* m_floating;
    QAction* m_autoRefresh;
    QAction* m_autostart;
    QAction* m_exit;
};

} // namespace orvane
