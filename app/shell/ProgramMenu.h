#pragma once

#include "config/UiLanguage.h"

#include <QMenu>

#include <optional>

class QActionGroup;

namespace orvane {

// The program's pop-up menu, opened from the tray icon, the floating strip and the title
// bar: show the window, the three switches (floating strip, automatic list refresh, start
// at login), the language, the export of the list on show, the history's recording switch
// and its clearing, and exit. The frame reacts to the actions' signals.
class ProgramMenu : public QMenu {
    Q_OBJECT
public:
    explicit ProgramMenu(QWidget* parent = nullptr);

    QAction* showMain() const { return m_showMain; }
    QAction* floating() const { return m_floating; }
    QAction* autoRefresh() const { return m_autoRefresh; }
    QAction* autostart() const { return m_autostart; }
    QAction* exportCsv() const { return m_exportCsv; }
    QAction* historyRecord() const { return m_historyRecord; }
    QAction* historyClear() const { return m_historyClear; }
    QAction* exit() const { return m_exit; }
    QMenu* languageMenu() const { return m_languageMenu; }
    // The language item of a choice: none follows the system's locale.
    QAction* languageItem(std::optional<lumivex::config::Language> choice) const;
    // Checks the item of a choice (without announcing it).
    void showLanguageChoice(std::optional<lumivex::config::Language> choice);

signals:
    // The user picked a language item: none follows the system's locale.
    void languageChosen(std::optional<lumivex::config::Language> choice);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QAction* m_showMain;
    QAction* m_floating;
    QAction* m_autoRefresh;
    QAction* m_autostart;
    QMenu* m_languageMenu;
    QActionGroup* m_languages;
    QAction* m_languageAuto;
    QAction* m_languageChinese;
    QAction* m_languageEnglish;
    QAction* m_exportCsv;
    QAction* m_historyRecord;
    QAction* m_historyClear;
    QAction* m_exit;
};

} // namespace orvane
