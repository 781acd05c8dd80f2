#include "shell/ProgramMenu.h"

#include "views/Skin.h"

#include <QActionGroup>
#include <QEvent>

namespace orvane {

using lumivex::config::Language;

namespace {

QAction* addCheckItem(QMenu& menu)
{
    QAction* action = menu.addAction(QString());
    action->setCheckable(true);
    return action;
}

} // namespace

ProgramMenu::ProgramMenu(QWidget* parent) : QMenu(parent)
{
    m_showMain = addAction(QString());
    addSeparator();
    m_floating = addCheckItem(*this);
    m_autoRefresh = addCheckItem(*this);
    m_autostart = addCheckItem(*this);
    m_languageMenu = addMenu(QString());
    m_languages = new QActionGroup(this);
    m_languages->setExclusive(true);
    m_languageAuto = addCheckItem(*m_languageMenu);
    m_languageMenu->addSeparator();
    m_languageChinese = addCheckItem(*m_languageMenu);
    m_languageEnglish = addCheckItem(*m_languageMenu);
    for (QAction* item : {m_languageAuto, m_languageChinese, m_languageEnglish})
        m_languages->addAction(item);
    m_languageAuto->setChecked(true);
    connect(m_languageAuto, &QAction::triggered, this, [this] { emit languageChosen(std::nullopt); });
    connect(m_languageChinese, &QAction::triggered, this, [this] { emit languageChosen(Language::Chinese); });
    connect(m_languageEnglish, &QAction::triggered, this, [this] { emit languageChosen(Language::English); });
    addSeparator();
    m_exportCsv = addAction(QString());
    m_historyRecord = addCheckItem(*this);
    m_historyClear = addAction(QString());
#ifndef ORVANE_HAVE_HISTORY
    m_historyRecord->setVisible(false);
    m_historyClear->setVisible(false);
#endif
    addSeparator();
    m_exit = addAction(QString());
    retranslate();
}

QAction* ProgramMenu::languageItem(std::optional<Language> choice) const
{
    if (!choice)
        return m_languageAuto;
    return *choice == Language::Chinese ? m_languageChinese : m_languageEnglish;
}

void ProgramMenu::showLanguageChoice(std::optional<Language> choice)
{
    languageItem(choice)->setChecked(true);
}

void ProgramMenu::retranslate()
{
    m_showMain->setText(skin::text("menu_show_main"));
    m_floating->setText(skin::text("menu_floating"));
    m_autoRefresh->setText(skin::text("menu_auto_refresh"));
    m_autostart->setText(skin::text("menu_autostart"));
    m_languageMenu->setTitle(skin::text("menu_language"));
    m_languageAuto->setText(skin::text("menu_language_auto"));
    m_languageChinese->setText(skin::text("menu_language_zh"));
    m_languageEnglish->setText(skin::text("menu_language_en"));
    m_exportCsv->setText(skin::text("menu_export_csv"));
    m_historyRecord->setText(skin::text("menu_history_record"));
    m_historyClear->setText(skin::text("menu_history_clear"));
    m_exit->setText(skin::text("menu_exit"));
}

void ProgramMenu::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QMenu::changeEvent(event);
}

} // namespace orvane
