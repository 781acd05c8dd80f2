#include "views/LanguageSwitch.h"

#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"

#include <QApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include <memory>

namespace orvane {

using lumivex::config::Language;

namespace {

// Qt's translation of its own texts while the program shows Chinese.
std::unique_ptr<QTranslator>& qtTranslator()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

bool g_qtTranslated = true;

void useQtTexts(Language language)
{
    auto& translator = qtTranslator();
    if (translator) {
        QCoreApplication::removeTranslator(translator.get());
        translator.reset();
    }
    g_qtTranslated = true;
    if (language != Language::Chinese)
        return;
    auto chinese = std::make_unique<QTranslator>();
    if (chinese->load(QStringLiteral("qtbase_zh_CN"), qtTranslationsFolder()) && QCoreApplication::installTranslator(chinese.get()))
        translator = std::move(chinese);
    else
        g_qtTranslated = false;
}

} // namespace

QString qtTranslationsFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool qtTextsTranslated()
{
    return g_qtTranslated;
}

void showLanguage(Language language)
{
    lumivex::config::useLanguage(lumivex::config::ConfigStore::instance(), language);
    QLocale::setDefault(language == Language::Chinese ? QLocale(QLocale::Chinese, QLocale::China)
                                                      : QLocale(QLocale::English, QLocale::UnitedStates));
    useQtTexts(language);
    // Sent at once rather than posted, as Qt does for a new translator: the windows show the
    // language before this returns. A widget passes the event on to its children.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(window, &change);
    }
}

} // namespace orvane
