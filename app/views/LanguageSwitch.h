#pragma once

#include "config/UiLanguage.h"

#include <QString>

namespace orvane {

// Shows the program in a language at once: the UI texts of the configuration store, Qt's own
// texts (standard buttons and dialogs, through Qt's translations when they are installed)
// and the default locale; every window is told (QEvent::LanguageChange), so the panes that
// keep texts read them again. GUI thread only.
void showLanguage(lumivex::config::Language language);

// Whether Qt's own texts are translated to the language shown (always for English, which
// they are written in; for Chinese when Qt's translation file was found).
bool qtTextsTranslated();
// The folder Qt's translation files are looked up in.
QString qtTranslationsFolder();

} // namespace orvane
